#pragma once
#include "main/Family.h"

namespace jig {

// The MEC16xx family's registration row.
const Family& Mec16Family();

}  // namespace jig

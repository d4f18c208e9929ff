#pragma once
#include "main/Family.h"

namespace jig {

// The ITE family's registration row.
const Family& IteFamily();

}  // namespace jig

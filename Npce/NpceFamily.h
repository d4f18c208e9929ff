#pragma once
#include "main/Family.h"

namespace jig {

// The Nuvoton NPCE family's registration row.
const Family& NpceFamily();

}  // namespace jig

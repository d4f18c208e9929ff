#pragma once
#include "main/Family.h"

namespace jig {

// The EDID EEPROM family's registration row.
const Family& EdidFamily();

}  // namespace jig

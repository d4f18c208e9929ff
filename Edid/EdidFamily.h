#pragma once
#include "main/Family.h"

namespace jig {

// The EDID EEPROM family's registration row.
const Family& EdidFamily();

namespace profiles {
// How the EDID window opens the programmer.
extern const OpenProfile kEdid;
}  // namespace profiles

}  // namespace jig

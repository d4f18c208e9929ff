#pragma once
#include "main/Family.h"

namespace jig {

// The Nuvoton NPCE family's registration row.
const Family& NpceFamily();

namespace profiles {
// How the NPCE window opens the programmer.
extern const OpenProfile kNpce;
}  // namespace profiles

}  // namespace jig

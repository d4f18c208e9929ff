#pragma once
#include "main/Family.h"

namespace jig {

// The ITE family's registration row.
const Family& IteFamily();

namespace profiles {
// How the ITE window opens the programmer.
extern const OpenProfile kIte;
}  // namespace profiles

}  // namespace jig

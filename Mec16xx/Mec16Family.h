#pragma once
#include "main/Family.h"

namespace jig {

// The MEC16xx family's registration row.
const Family& Mec16Family();

namespace profiles {
// How the MEC1609 window opens the programmer.
extern const OpenProfile kMec16;
}  // namespace profiles

}  // namespace jig

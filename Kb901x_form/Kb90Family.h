#pragma once
#include "main/Family.h"

namespace jig {

// The ENE KB90xx family's registration row.
const Family& Kb90Family();

namespace profiles {
// How the KB90xx window opens the programmer.
extern const OpenProfile kKb90;
}  // namespace profiles

}  // namespace jig

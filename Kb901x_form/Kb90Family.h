#pragma once
#include "main/Family.h"

namespace jig {

// The ENE KB90xx family's registration row.
const Family& Kb90Family();

}  // namespace jig

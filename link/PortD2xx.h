#pragma once
// The backend of this platform for real serial ports: the FTDI adapters it finds, or the
// ports given on the command line.
#include <memory>
#include <string>
#include <vector>

#include "link/D2xx.h"

namespace jig {

// holdPortLocks: a command keeps its ports from the first open to its end, where the
// platform can (the windows take them per operation).
std::unique_ptr<D2xx> MakePortD2xx(std::vector<std::string> ports, bool holdPortLocks);

}  // namespace jig

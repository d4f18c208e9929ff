#pragma once
// The lines an open logs when the programmer is there but cannot work as it should: each
// names the port and the fix, so that a technician need not guess.
#include <string>

#include "link/D2xx.h"

namespace jig {

// The port exists but this user may not open it.
std::string PermissionDeniedLine(const std::string& port);
// Another program holds the port.
std::string PortInUseLine(const std::string& port, std::optional<long> pid);
// The line for a refused open: one of the two above.
std::string RefusalLine(const OpenRefusal& refusal);
// The port's latency timer stays above what the exchanges need.
std::string SlowLatencyLine(const LatencyReading& reading, int wantedMs);

}  // namespace jig

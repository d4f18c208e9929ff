#pragma once
// How the technician sets a port's latency timer on this system, for the preflight line.
#include <string>

#include "link/D2xx.h"
#include "view/LogLanguage.h"

namespace jig {
std::string LatencyAdvice(const LatencyReading& reading, int wantedMs, LogLanguage language);
}  // namespace jig

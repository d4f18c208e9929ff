#pragma once
// The lines an open logs when the programmer is there but cannot work as it should: each
// names the port and the fix, so that a technician need not guess.
#include <optional>
#include <string>

#include "link/D2xx.h"
#include "view/LogLanguage.h"

namespace jig {

// The port exists but this user may not open it.
std::string PermissionDeniedLine(const std::string& port, LogLanguage language = LogLanguage::English);
// Another program holds the port.
std::string PortInUseLine(const std::string& port, std::optional<long> pid, LogLanguage language = LogLanguage::English);
// The path given as the programmer's port names nothing, or something that is no serial port.
std::string NoSuchPortLine(const std::string& port, LogLanguage language = LogLanguage::English);
std::string NotSerialPortLine(const std::string& port, LogLanguage language = LogLanguage::English);
// The line for a refused open: one of the above.
std::string RefusalLine(const OpenRefusal& refusal, LogLanguage language = LogLanguage::English);
// The port's latency timer stays above what the exchanges need.
std::string SlowLatencyLine(const LatencyReading& reading, int wantedMs,
                            LogLanguage language = LogLanguage::English);

}  // namespace jig

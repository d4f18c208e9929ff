#include "link/Preflight.h"

#include <filesystem>

namespace jig {

std::string PermissionDeniedLine(const std::string& port) {
  return "The programmer is at " + port +
         " but this user may not open it: install the udev rule 99-holbrenik-jig.rules, run "
         "\"sudo usermod -aG dialout $USER\", log in again and plug the programmer in again";
}

std::string PortInUseLine(const std::string& port, std::optional<long> pid) {
  return "The programmer on " + port + " is in use by another program" +
         (pid ? " (PID " + std::to_string(*pid) + ")" : std::string()) + ".";
}

std::string RefusalLine(const OpenRefusal& refusal) {
  return refusal.why == OpenRefusal::Why::InUse ? PortInUseLine(refusal.port, refusal.pid)
                                                : PermissionDeniedLine(refusal.port);
}

std::string SlowLatencyLine(const LatencyReading& reading, int wantedMs) {
  const std::string name = std::filesystem::path(reading.port).filename().string();
  return "The latency timer of " + reading.port + " stays at " + std::to_string(reading.ms) + " ms (" +
         std::to_string(wantedMs) + " ms needed, transfers will be slow): install the udev rule " +
         "99-holbrenik-jig.rules or run \"echo " + std::to_string(wantedMs) +
         " | sudo tee /sys/bus/usb-serial/devices/" + name + "/latency_timer\"";
}

}  // namespace jig

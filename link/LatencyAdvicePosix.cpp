#include <filesystem>

#include "link/LatencyAdvice.h"

namespace jig {

std::string LatencyAdvice(const LatencyReading& reading, int wantedMs, LogLanguage language) {
  const std::string name = std::filesystem::path(reading.port).filename().string();
  const std::string command =
      "\"echo " + std::to_string(wantedMs) + " | sudo tee /sys/bus/usb-serial/devices/" + name + "/latency_timer\"";
  if (language == LogLanguage::Russian) return "установите правило udev 99-holbrenik-jig.rules или выполните " + command;
  return "install the udev rule 99-holbrenik-jig.rules or run " + command;
}

}  // namespace jig

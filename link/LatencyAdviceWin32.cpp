#include "link/LatencyAdvice.h"

namespace jig {

// The FTDI VCP driver takes the timer only from the port's advanced settings.
std::string LatencyAdvice(const LatencyReading& reading, int wantedMs, LogLanguage language) {
  const std::string ms = std::to_string(wantedMs);
  if (language == LogLanguage::Russian)
    return "в Диспетчере устройств откройте свойства " + reading.port +
           ", вкладку \"Port Settings\", кнопку \"Advanced...\", установите \"Latency Timer (msec)\" на " + ms +
           " и переподключите программатор";
  return "in the Device Manager open the properties of " + reading.port +
         ", the \"Port Settings\" tab, \"Advanced...\", set \"Latency Timer (msec)\" to " + ms +
         " and plug the programmer in again";
}

}  // namespace jig

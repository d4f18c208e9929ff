#include "link/Preflight.h"

#include "link/LatencyAdvice.h"

namespace jig {

std::string PermissionDeniedLine(const std::string& port, LogLanguage language) {
  if (language == LogLanguage::Russian)
    return "Программатор подключен к " + port +
           ", но у этого пользователя нет прав открыть его: установите правило udev 99-holbrenik-jig.rules, "
           "выполните \"sudo usermod -aG dialout $USER\", войдите в систему заново и переподключите программатор";
  return "The programmer is at " + port +
         " but this user may not open it: install the udev rule 99-holbrenik-jig.rules, run "
         "\"sudo usermod -aG dialout $USER\", log in again and plug the programmer in again";
}

std::string PortInUseLine(const std::string& port, std::optional<long> pid, LogLanguage language) {
  const std::string who = pid ? " (PID " + std::to_string(*pid) + ")" : std::string();
  if (language == LogLanguage::Russian) return "Программатор на " + port + " занят другой программой" + who + ".";
  return "The programmer on " + port + " is in use by another program" + who + ".";
}

std::string NoSuchPortLine(const std::string& port, LogLanguage language) {
  if (language == LogLanguage::Russian) return "Порта \"" + port + "\" нет: программатора там нет.";
  return "There is no port \"" + port + "\": no programmer can be there.";
}

std::string NotSerialPortLine(const std::string& port, LogLanguage language) {
  if (language == LogLanguage::Russian) return "\"" + port + "\" не последовательный порт: программатора там нет.";
  return "\"" + port + "\" is not a serial port: no programmer can be there.";
}

std::string RefusalLine(const OpenRefusal& refusal, LogLanguage language) {
  switch (refusal.why) {
    case OpenRefusal::Why::InUse: return PortInUseLine(refusal.port, refusal.pid, language);
    case OpenRefusal::Why::NoSuchPort: return NoSuchPortLine(refusal.port, language);
    case OpenRefusal::Why::NotSerial: return NotSerialPortLine(refusal.port, language);
    case OpenRefusal::Why::Permission: break;
  }
  return PermissionDeniedLine(refusal.port, language);
}

std::string SlowLatencyLine(const LatencyReading& reading, int wantedMs, LogLanguage language) {
  if (language == LogLanguage::Russian)
    return "Таймер задержки " + reading.port + " стоит на " + std::to_string(reading.ms) + " мс (нужно " +
           std::to_string(wantedMs) + " мс, обмен будет медленным): " + LatencyAdvice(reading, wantedMs, language);
  return "The latency timer of " + reading.port + " stays at " + std::to_string(reading.ms) + " ms (" +
         std::to_string(wantedMs) + " ms needed, transfers will be slow): " + LatencyAdvice(reading, wantedMs, language);
}

}  // namespace jig

#include "link/OpenProgrammer.h"

#include <cstring>
#include <optional>
#include <span>

#include "view/CharFilter.h"
#include "link/Preflight.h"
#include "link/VersionAnswer.h"
#include "link/Bounds.h"

namespace jig {

namespace {

// What an earlier command left behind (a block still coming after Ctrl-C, an answer nobody
// read) must not be taken for this open's answer: both queues are emptied first, and what
// is still on its way after that is drained before 'B' goes out (AskVersion).
void EmptyQueues(ProgrammerLink& link) { link.d2xx->FT_Purge(link.handle, FT_PURGE_RX | FT_PURGE_TX); }

// Every open sets the same link: 921600 baud, 8 data bits, 1 stop bit, no parity.
void ConfigureFirmwareLink(ProgrammerLink& link) {
  D2xx& d = *link.d2xx;
  d.FT_ResetDevice(link.handle);
  EmptyQueues(link);
  d.FT_SetBaudRate(link.handle, limits::kFirmwareBaud);
  d.FT_SetDataCharacteristics(link.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
}

// A text answer ends on the line's silence; the 3-byte raw compare reads its 3 bytes.
// A line that does not fall quiet after the purge could not tell the answer from what was
// still coming: 'B' is not sent, and the device counts as one that did not answer.
DWORD AskVersion(ProgrammerLink& link, DWORD readLength, DWORD timeoutMs, bool text) {
  if (!DrainStrayBytes(link)) return 0;
  link.buffer[0] = 'B';
  link.write(std::span<const std::uint8_t>(link.buffer.data(), 1));
  if (text) return ReadVersionAnswer(link, readLength, timeoutMs);
  link.read(readLength);
  return link.transferred;
}

void NoteRefusal(ProgrammerLink& link, int index, LogLanguage language = LogLanguage::English) {
  if (!link.refusalLine.empty()) return;
  if (auto refusal = link.d2xx->OpenRefused(index)) link.refusalLine = RefusalLine(*refusal, language);
}

// The open device set up for the profile's version query, each step logged where the
// window logs them.
void ConfigureForProfile(ProgrammerLink& link, const OpenProfile& profile, TaskView& log, int index) {
  D2xx& d = *link.d2xx;
  const FT_HANDLE handle = link.handle;
  const bool steps = profile.logsConfigurationSteps;
  d.FT_ResetDevice(handle);
  EmptyQueues(link);
  if (steps) log.log("COM порт сброшен.");
  d.FT_SetBaudRate(handle, limits::kFirmwareBaud);
  if (steps) log.log("Установлена скорость 921600 bps.");
  d.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
  if (steps) {
    log.log("Произведена настройка формата передачи данных.");
    log.log("Произведена настройка таймаутов.");
  }
  if (profile.latencyBeforeQuery) {
    d.FT_SetLatencyTimer(handle, limits::kLatencyMs);
    if (steps) log.log("Произведена настройка LatencyTimer.");
  }
  d.FT_SetTimeouts(handle, profile.queryTimeoutMs, profile.queryTimeoutMs);
  if (steps) log.log("Настроили порт " + std::to_string(index));
}

enum class VersionMatch { Silent, Matches, Differs };

// Asks the version and compares it with the profile's tag: the first three bytes raw, or
// the filtered text (logged when the profile shows it) searched for the tag.
VersionMatch MatchVersion(ProgrammerLink& link, const OpenProfile& profile, TaskView& log) {
  const DWORD got = AskVersion(link, profile.readLength, profile.queryTimeoutMs, profile.readLength != 3);
  if (profile.readLength == 3) {
    if (got != 3) return VersionMatch::Silent;
    link.firmware = FilterAnswer(std::span<const std::uint8_t>(link.buffer.data(), got));
    return std::memcmp(link.buffer.data(), profile.tag.data(), 3) == 0 ? VersionMatch::Matches : VersionMatch::Differs;
  }
  if (got == 0) return VersionMatch::Silent;
  const std::string text = FilterAnswer(std::span<const std::uint8_t>(link.buffer.data(), got));
  link.firmware = text;
  if (!profile.versionLinePrefix.empty()) log.log(std::string(profile.versionLinePrefix) + text);
  return text.find(profile.tag) != std::string::npos ? VersionMatch::Matches : VersionMatch::Differs;
}

// The link as the task's exchanges want it once the right firmware answered.
void AfterReadySteps(ProgrammerLink& link, const OpenProfile& profile, TaskView& log) {
  D2xx& d = *link.d2xx;
  const FT_HANDLE handle = link.handle;
  switch (profile.after) {
    case AfterReady::ZeroTimeouts:
      d.FT_SetTimeouts(handle, 0, 0);
      break;
    case AfterReady::TimeoutsAgain:
      d.FT_SetTimeouts(handle, profile.queryTimeoutMs, profile.queryTimeoutMs);
      break;
    case AfterReady::KeepTimeouts:
      break;
  }
  d.FT_SetLatencyTimer(handle, limits::kLatencyMs);
  // The timer is the driver's; without the rights to set it every round trip is slow.
  if (auto latency = d.LatencyTimer(handle); latency && latency->ms > limits::kLatencyMs)
    log.log(SlowLatencyLine(*latency, limits::kLatencyMs, profile.language));
}

}  // namespace

std::string QueryProgrammerVersion(ProgrammerLink& link) {
  link.versionText = std::string(kVersionDeviceNotFound);
  link.refusalLine.clear();
  D2xx& d = *link.d2xx;
  DWORD count = 0;
  if (d.FT_CreateDeviceInfoList(&count) != FT_OK || count == 0) return link.versionText;
  link.deviceCount = count;
  link.versionText = std::string(kVersionErrorAnswer);
  for (int index = static_cast<int>(count) - 1; index >= 0; --index) {
    FT_HANDLE handle = 0;
    if (d.FT_Open(index, &handle) != FT_OK) {
      NoteRefusal(link, index);
      continue;
    }
    // Only the last device opened is needed later (the switch reaches the boot loader
    // through it); one that stayed silent before it would otherwise be left open.
    link.close();
    link.handle = handle;
    link.isOpen = true;
    ConfigureFirmwareLink(link);
    d.FT_SetTimeouts(handle, limits::kQueryTimeoutMs, limits::kQueryTimeoutMs);
    const DWORD got = AskVersion(link, limits::kVersionReadLength, limits::kQueryTimeoutMs, true);
    if (got >= 1) {
      link.versionText = FilterAnswer(std::span<const std::uint8_t>(link.buffer.data(), got));
      link.port = d.PortName(handle);
      d.FT_SetLatencyTimer(handle, limits::kLatencyMs);
      return link.versionText;
    }
  }
  return link.versionText;
}

OpenResult OpenProgrammer(ProgrammerLink& link, const OpenProfile& profile, TaskView& log) {
  D2xx& d = *link.d2xx;
  link.close();
  link.refusalLine.clear();
  // Nothing of an earlier open is told as this one's.
  link.port.clear();
  link.firmware.clear();
  link.chipId.clear();
  DWORD count = 0;
  if (d.FT_CreateDeviceInfoList(&count) != FT_OK) {
    log.log("I can not get a list of VCOM ports");
    return OpenResult::NotFound;
  }
  link.deviceCount = count;
  if (count == 0) {
    log.log("VCOM port is not found on the machine!");
    return OpenResult::NotFound;
  }
  log.log("Number of VCOM ports found on the machine: " + std::to_string(count));
  for (int index = static_cast<int>(count) - 1; index >= 0; --index) {
    FT_HANDLE handle = 0;
    if (d.FT_Open(index, &handle) != FT_OK) {
      NoteRefusal(link, index, profile.language);
      continue;
    }
    link.handle = handle;
    link.isOpen = true;
    ConfigureForProfile(link, profile, log, index);
    const VersionMatch match = MatchVersion(link, profile, log);
    if (match == VersionMatch::Silent) {
      link.close();
      continue;
    }
    if (match == VersionMatch::Differs) {
      log.log("It is necessary to update the firmware programmer!");
      link.close();
      return OpenResult::WrongFirmware;
    }
    log.log("Communication with programmer installed.");
    link.port = d.PortName(handle);
    AfterReadySteps(link, profile, log);
    return OpenResult::Ready;
  }
  log.log(std::string(profile.notFoundMessage));
  // "Not found" alone would send the technician looking for a cable fault when the
  // programmer is there and only the rights are missing or another program holds it.
  if (!link.refusalLine.empty()) log.log(link.refusalLine);
  return OpenResult::NotFound;
}

}  // namespace jig

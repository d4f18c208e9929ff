#include "link/OpenProgrammer.h"

#include <cstring>
#include <optional>
#include <span>

#include "link/CharFilter.h"
#include "link/Preflight.h"
#include "link/VersionAnswer.h"
#include "link/limits.h"

namespace jig {

namespace {

// Every open sets the same link: 921600 baud, 8 data bits, 1 stop bit, no parity.
void ConfigureFirmwareLink(ProgrammerLink& link) {
  D2xx& d = *link.d2xx;
  d.FT_ResetDevice(link.handle);
  d.FT_SetBaudRate(link.handle, limits::kFirmwareBaud);
  d.FT_SetDataCharacteristics(link.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
}

// A text answer ends on the line's silence; the 3-byte raw compare reads its 3 bytes.
DWORD AskVersion(ProgrammerLink& link, DWORD readLength, DWORD timeoutMs, bool text) {
  link.buffer[0] = 'B';
  link.write(std::span<const std::uint8_t>(link.buffer.data(), 1));
  if (text) return ReadVersionAnswer(link, readLength, timeoutMs);
  link.read(readLength);
  return link.transferred;
}

}  // namespace

std::string QueryProgrammerVersion(ProgrammerLink& link) {
  link.versionText = std::string(kVersionDeviceNotFound);
  D2xx& d = *link.d2xx;
  DWORD count = 0;
  if (d.FT_CreateDeviceInfoList(&count) != FT_OK || count == 0) return link.versionText;
  link.deviceCount = count;
  link.versionText = std::string(kVersionErrorAnswer);
  for (int index = static_cast<int>(count) - 1; index >= 0; --index) {
    FT_HANDLE handle = 0;
    if (d.FT_Open(index, &handle) != FT_OK) continue;
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
      d.FT_SetLatencyTimer(handle, limits::kLatencyMs);
      return link.versionText;
    }
  }
  return link.versionText;
}

OpenResult OpenProgrammer(ProgrammerLink& link, const OpenProfile& profile, TaskView& log) {
  D2xx& d = *link.d2xx;
  link.close();
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
  const bool steps = profile.logsConfigurationSteps;
  std::optional<std::string> denied;  // a programmer that is there but may not be opened
  for (int index = static_cast<int>(count) - 1; index >= 0; --index) {
    FT_HANDLE handle = 0;
    if (d.FT_Open(index, &handle) != FT_OK) {
      if (auto path = d.OpenDenied(index); path && !denied) denied = path;
      continue;
    }
    link.handle = handle;
    link.isOpen = true;
    d.FT_ResetDevice(handle);
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

    const DWORD got = AskVersion(link, profile.readLength, profile.queryTimeoutMs, profile.readLength != 3);
    bool tagFound = false;
    if (profile.readLength == 3) {
      if (got != 3) {
        link.close();
        continue;
      }
      tagFound = std::memcmp(link.buffer.data(), profile.tag.data(), 3) == 0;
    } else {
      if (got == 0) {
        link.close();
        continue;
      }
      const std::string text = FilterAnswer(std::span<const std::uint8_t>(link.buffer.data(), got));
      if (!profile.versionLinePrefix.empty()) log.log(std::string(profile.versionLinePrefix) + text);
      tagFound = text.find(profile.tag) != std::string::npos;
    }
    if (!tagFound) {
      log.log("It is necessary to update the firmware programmer!");
      link.close();
      return OpenResult::WrongFirmware;
    }
    log.log("Communication with programmer installed.");
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
      log.log(SlowLatencyLine(*latency, limits::kLatencyMs));
    return OpenResult::Ready;
  }
  // "Not found" would send the technician looking for a cable fault when the programmer
  // is there and only the rights are missing.
  log.log(denied ? PermissionDeniedLine(*denied) : std::string(profile.notFoundMessage));
  return OpenResult::NotFound;
}

}  // namespace jig

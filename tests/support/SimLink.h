#pragma once
// An open link to simulated programmer 0 at the firmware's baud rate, with short time-outs,
// and what an open logs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ProgrammerLink.h"
#include "sim/SimD2xx.h"

namespace jig::test {

inline ProgrammerLink OpenSimLink(sim::SimD2xx& d2xx, DWORD baud = 921600, DWORD timeoutMs = 100,
                                  std::size_t bufferSize = 64) {
  ProgrammerLink link(d2xx, bufferSize);
  DWORD count = 0;
  d2xx.FT_CreateDeviceInfoList(&count);
  EXPECT_EQ(d2xx.FT_Open(0, &link.handle), FT_OK);
  link.isOpen = true;
  d2xx.FT_SetBaudRate(link.handle, baud);
  d2xx.FT_SetTimeouts(link.handle, timeoutMs, timeoutMs);
  return link;
}

// What an open with the keyboard profile logs, step by step, with one programmer attached.
inline std::vector<std::string> KeyboardOpenLog() {
  return {"Number of VCOM ports found on the machine: 1",
          "COM порт сброшен.",
          "Установлена скорость 921600 bps.",
          "Произведена настройка формата передачи данных.",
          "Произведена настройка таймаутов.",
          "Произведена настройка LatencyTimer.",
          "Настроили порт 0",
          "Communication with programmer installed."};
}

}  // namespace jig::test

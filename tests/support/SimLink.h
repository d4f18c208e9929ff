#pragma once
// An open link to simulated programmer 0 at the firmware's baud rate, with short time-outs.
#include <gtest/gtest.h>

#include "link/ProgrammerLink.h"
#include "sim/SimD2xx.h"

namespace jig::test {

inline ProgrammerLink OpenSimLink(sim::SimD2xx& d2xx, DWORD baud = 921600) {
  ProgrammerLink link(d2xx, 64);
  DWORD count = 0;
  d2xx.FT_CreateDeviceInfoList(&count);
  EXPECT_EQ(d2xx.FT_Open(0, &link.handle), FT_OK);
  link.isOpen = true;
  d2xx.FT_SetBaudRate(link.handle, baud);
  d2xx.FT_SetTimeouts(link.handle, 100, 100);
  return link;
}

}  // namespace jig::test

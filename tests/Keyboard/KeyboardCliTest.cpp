#include <gtest/gtest.h>

#include <sstream>

#include "app/Commands.h"
#include "sim/SimD2xx.h"

namespace jig {
namespace {

TEST(KeyboardCli, ScanPrintsEachPairAndItsColourThenQ) {
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  // (1, 2) is held long enough for two reports even when the ticks come late on a busy
  // machine: the second one turns it yellow.
  options.faults["keyboard-script"] = "0:1-2;600:;800:3-9";
  auto& programmer = d2xx.attach(options);
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, {"keyboard", "scan", "--seconds", "2", "--no-sound"}, false, out, err);
  EXPECT_EQ(status, kExitOk) << out.str() << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("Shape2 (1, 2) red\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Shape2 (1, 2) yellow\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Shape73 (3, 9) red\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 2), "Q\n");
  const auto host = programmer.hostBytes();
  EXPECT_EQ(std::count(host.begin(), host.end(), 'I'), 0);
  // About ten requests a second, one per tick: never a flood.
  const auto requests = std::count(host.begin(), host.end(), 'U');
  EXPECT_GE(requests, 5);
  EXPECT_LE(requests, 24);
  EXPECT_EQ(host.back(), 'Q');
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(KeyboardCli, BadOptionsAndMissingProgrammer) {
  sim::SimD2xx d2xx;
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(d2xx, {"keyboard", "scan", "--seconds", "0"}, false, out, err), kExitUsage);
  EXPECT_EQ(RunCommand(d2xx, {"keyboard", "scan", "--loud"}, false, out, err), kExitUsage);
  EXPECT_EQ(RunCommand(d2xx, {"keyboard", "read"}, false, out, err), kExitUsage);
  EXPECT_EQ(RunCommand(d2xx, {"keyboard", "scan", "--seconds", "1"}, false, out, err), kExitFailed);
}

}  // namespace
}  // namespace jig

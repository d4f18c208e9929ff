// The simulated NPCE chip: NOR flash rules and the answers the host relies on.
#include <gtest/gtest.h>

#include "link/ReadIdioms.h"
#include "tests/Npce/NpceBench.h"
#include "tests/support/SimLink.h"

namespace jig::test {
namespace {

struct RawLink {
  explicit RawLink(Faults faults = {})
      : programmer(d2xx.attach(NpceOptions(std::move(faults)))), link(OpenSimLink(d2xx, 921600, 200, 1024)) {}
  std::vector<std::uint8_t> ask(std::vector<std::uint8_t> bytes, DWORD answer) {
    link.write(bytes);
    const DWORD got = TimedRead(link, answer);
    return {link.buffer.begin(), link.buffer.begin() + got};
  }
  sim::NpceSim& chip() { return dynamic_cast<sim::NpceSim&>(*programmer.commandSet("NPCE")); }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  ProgrammerLink link;
};

TEST(NpceSim, ProgrammingOnlyClearsBitsAndEraseSetsFf) {
  RawLink raw;
  raw.chip().setFlash(std::vector<std::uint8_t>(131072, 0xF0));
  EXPECT_EQ(raw.ask(Bytes("Z"), 4), (std::vector<std::uint8_t>{0xEF, 0x40, 0x12, 0x14}));
  EXPECT_EQ(raw.ask(Bytes("x"), 2)[0], 0);  // not blank
  EXPECT_EQ(raw.ask(Bytes("w"), 1), Bytes("*"));
  EXPECT_EQ(raw.ask(Repeat(0x0F, 256), 1), std::vector<std::uint8_t>{1});
  const auto flash = raw.chip().flash();
  EXPECT_EQ(flash[0], 0x00);
  EXPECT_EQ(flash[255], 0x00);
  EXPECT_EQ(flash[256], 0xF0);
  EXPECT_EQ(raw.ask(Bytes("e"), 2), (std::vector<std::uint8_t>{1, 0}));
  EXPECT_EQ(raw.chip().flash(), std::vector<std::uint8_t>(131072, 0xFF));
  EXPECT_EQ(raw.ask(Bytes("x"), 2), (std::vector<std::uint8_t>{1, 0}));
  // Block data may hold 'B': while a block comes in, every byte is the chip's.
  EXPECT_EQ(raw.ask(Bytes("w"), 1), Bytes("*"));
  EXPECT_EQ(raw.ask(Repeat('B', 256), 1), std::vector<std::uint8_t>{1});
  EXPECT_EQ(raw.ask({0x07}, 1).size(), 1u);
  EXPECT_EQ(raw.ask(Bytes("r"), 512), Cat({Repeat(0x42, 256), Repeat(0xFF, 256)}));
}

// The read pointer goes back to address 0 only at the ID check and at 07h: the end of a
// read ('-') leaves it where it stands.
TEST(NpceSim, ReadPointerGoesBackOnlyAtTheIdCheckAndEndOfWriting) {
  RawLink raw;
  const auto flash = Pattern(131072, 5);
  raw.chip().setFlash(flash);
  const auto block = [&](int n) { return std::vector<std::uint8_t>(flash.begin() + n * 512, flash.begin() + (n + 1) * 512); };
  ASSERT_EQ(raw.ask(Bytes("Z"), 4).size(), 4u);
  EXPECT_EQ(raw.ask(Bytes("r"), 512), block(0));
  EXPECT_EQ(raw.ask(Bytes("-"), 2).size(), 2u);
  EXPECT_EQ(raw.ask(Bytes("r"), 512), block(1));
  EXPECT_EQ(raw.ask({0x07}, 1).size(), 1u);
  EXPECT_EQ(raw.ask(Bytes("r"), 512), block(0));
  EXPECT_EQ(raw.ask(Bytes("r"), 512), block(1));
  ASSERT_EQ(raw.ask(Bytes("Z"), 4).size(), 4u);
  EXPECT_EQ(raw.ask(Bytes("r"), 512), block(0));
}

TEST(NpceSim, EraseTakesItsConfiguredTime) {
  RawLink raw(Faults{{"npce-erase-ms", "150"}});
  raw.link.write(Bytes("e"));
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(QueueWait(raw.link, 2, 2000), WaitResult::Ok);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(140));
  EXPECT_LT(took, std::chrono::milliseconds(1000));
}

}  // namespace
}  // namespace jig::test

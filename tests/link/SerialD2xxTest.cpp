// The termios backend end to end, against jig-sim on a pseudo-terminal, and the search for
// FTDI ports in a made-up sysfs tree.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "link/SerialD2xx.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class SerialAgainstSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(sim_.path().empty()) << "jig-sim printed no path";
    d2xx_ = std::make_unique<SerialD2xx>(std::vector<std::string>{sim_.path()});
    DWORD count = 0;
    ASSERT_EQ(d2xx_->FT_CreateDeviceInfoList(&count), FT_OK);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(d2xx_->FT_Open(0, &handle_), FT_OK);
    EXPECT_EQ(d2xx_->FT_ResetDevice(handle_), FT_OK);
    EXPECT_EQ(d2xx_->FT_SetBaudRate(handle_, 921600), FT_OK);
    EXPECT_EQ(d2xx_->FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(d2xx_->FT_SetTimeouts(handle_, 300, 300), FT_OK);
    EXPECT_EQ(d2xx_->FT_SetLatencyTimer(handle_, 2), FT_OK) << "a pty has no latency timer; not fatal";
  }
  void TearDown() override {
    if (d2xx_ && handle_) d2xx_->FT_Close(handle_);
  }
  std::string ask(char command, DWORD count) {
    DWORD done = 0;
    d2xx_->FT_Write(handle_, &command, 1, &done);
    std::string answer(count, '\0');
    d2xx_->FT_Read(handle_, answer.data(), count, &done);
    answer.resize(done);
    return answer;
  }

  test::SimProcess sim_;
  std::unique_ptr<SerialD2xx> d2xx_;
  FT_HANDLE handle_ = 0;
};

TEST_F(SerialAgainstSim, AnswersTheVersionQuery) { EXPECT_EQ(ask('B', 3), "V41"); }

TEST_F(SerialAgainstSim, AReadTimesOutAfterItsTimeout) {
  std::uint8_t byte;
  DWORD got = 9;
  const auto start = Clock::now();
  EXPECT_EQ(d2xx_->FT_Read(handle_, &byte, 1, &got), FT_OK);
  const auto took = Clock::now() - start;
  EXPECT_EQ(got, 0u);
  EXPECT_GE(took, std::chrono::milliseconds(280));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
}

// Waits shorter than a millisecond's rounding still sleep: 1 ms waits for an answer that
// does not come (the boot loader call does hundreds) cost next to no CPU.
TEST_F(SerialAgainstSim, ShortWaitsSleepAndDoNotSpin) {
  const auto cpu = [] {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return std::chrono::seconds(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           std::chrono::microseconds(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  const auto start = Clock::now();
  const auto cpuBefore = cpu();
  DWORD available = 0;
  for (int i = 0; i < 200; ++i) ASSERT_EQ(d2xx_->WaitForRx(handle_, 1, 1, &available), FT_WAIT_TIMEOUT);
  const auto wall = Clock::now() - start;
  EXPECT_GE(wall, std::chrono::milliseconds(200));
  EXPECT_LT(cpu() - cpuBefore, wall / 4);
}

TEST_F(SerialAgainstSim, QueueCountsWaitAndPurge) {
  DWORD done = 0;
  const char two[] = {'B', 'B'};
  ASSERT_EQ(d2xx_->FT_Write(handle_, two, 2, &done), FT_OK);
  EXPECT_EQ(done, 2u);
  DWORD available = 0;
  ASSERT_EQ(d2xx_->WaitForRx(handle_, 6, 2000, &available), FT_OK);
  EXPECT_EQ(available, 6u);
  DWORD rx = 0, tx = 0, event = 0;
  ASSERT_EQ(d2xx_->FT_GetStatus(handle_, &rx, &tx, &event), FT_OK);
  EXPECT_EQ(rx, 6u);
  EXPECT_EQ(d2xx_->WaitForTxEmpty(handle_, 1000), FT_OK);
  ASSERT_EQ(d2xx_->FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
  ASSERT_EQ(d2xx_->FT_GetStatus(handle_, &rx, &tx, &event), FT_OK);
  EXPECT_EQ(rx, 0u);
  EXPECT_EQ(d2xx_->WaitForRx(handle_, 1, 100, &available), FT_WAIT_TIMEOUT);
}

TEST_F(SerialAgainstSim, TheFirmwareAnswersOnlyAt921600) {
  ASSERT_EQ(d2xx_->FT_SetBaudRate(handle_, 115200), FT_OK);
  EXPECT_EQ(ask('B', 3), "");
  ASSERT_EQ(d2xx_->FT_SetBaudRate(handle_, 921600), FT_OK);
  EXPECT_EQ(ask('B', 3), "V41");
}

TEST_F(SerialAgainstSim, AHungUpPortIsGoneNotSilent) {
  ASSERT_EQ(ask('B', 3), "V41");
  ASSERT_EQ(d2xx_->FT_SetTimeouts(handle_, 5000, 5000), FT_OK);
  sim_.stop();
  std::uint8_t byte;
  DWORD got = 0;
  const auto start = Clock::now();
  EXPECT_EQ(d2xx_->FT_Read(handle_, &byte, 1, &got), FT_DEVICE_GONE);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "no waiting out the time-out";
  DWORD available = 0;
  EXPECT_EQ(d2xx_->WaitForRx(handle_, 1, 5000, &available), FT_DEVICE_GONE);
  DWORD rx, tx, event;
  EXPECT_EQ(d2xx_->FT_GetStatus(handle_, &rx, &tx, &event), FT_DEVICE_GONE);
}

TEST(SerialD2xx, AMissingPortCannotBeOpened) {
  SerialD2xx d2xx({"/dev/no-such-programmer"});
  DWORD count = 0;
  ASSERT_EQ(d2xx.FT_CreateDeviceInfoList(&count), FT_OK);
  EXPECT_EQ(count, 1u);
  FT_HANDLE handle = 0;
  EXPECT_NE(d2xx.FT_Open(0, &handle), FT_OK);
  EXPECT_NE(d2xx.FT_Open(1, &handle), FT_OK);
}

void Touch(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << '\n';
}

TEST(SerialD2xx, FindsFtdiPortsThroughSysfsInNaturalOrder) {
  test::TempDir root;
  const fs::path usb = root.path() / "devices" / "usb1";
  auto port = [&](const std::string& tty, const std::string& vendor) {
    const fs::path device = usb / ("1-" + tty) / ("1-" + tty + ":1.0") / tty;
    fs::create_directories(device);
    if (!vendor.empty()) Touch(usb / ("1-" + tty) / "idVendor", vendor);
    fs::create_directories(root.path() / "class" / "tty" / tty);
    fs::create_directory_symlink(device, root.path() / "class" / "tty" / tty / "device");
  };
  port("ttyUSB10", "0403");
  port("ttyUSB2", "0403");
  port("ttyACM0", "2341");
  fs::create_directories(root.path() / "class" / "tty" / "tty0");  // no device link at all
  EXPECT_EQ(SerialD2xx::FindFtdiPorts(root.path().string()),
            (std::vector<std::string>{"/dev/ttyUSB2", "/dev/ttyUSB10"}));
  EXPECT_TRUE(SerialD2xx::FindFtdiPorts((root.path() / "none").string()).empty());
}

}  // namespace
}  // namespace jig

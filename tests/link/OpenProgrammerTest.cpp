// Opening the programmer against simulated devices: the order of calls, the tag checks of
// the two profile kinds, the log lines, and what is left open.
#include <gtest/gtest.h>

#include <chrono>

#include "Edid/EdidFamily.h"
#include "Ite/IteFamily.h"
#include "Kb901x_form/Kb90Family.h"
#include "Keyboard/KeyboardFamily.h"
#include "Mec16xx/Mec16Family.h"
#include "Npce/NpceFamily.h"
#include "view/CharFilter.h"
#include "link/OpenProgrammer.h"
#include "link/Bounds.h"
#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimLink.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::Bytes;
using test::RecordingView;

sim::SimOptions Answering(const std::string& image, const std::string& version = "") {
  sim::SimOptions options;
  options.image = image;
  if (!version.empty()) options.faults["version"] = version;
  return options;
}

// A programmer with the fault and no answer of its own chosen.
sim::SimOptions With(const std::string& fault) {
  sim::SimOptions options;
  options.faults[fault] = "";
  return options;
}

// The simulated devices, the link a task opens them with and the view it logs to; the
// devices are attached before anything is opened, and the link is closed when it goes.
struct LinkBench {
  ~LinkBench() { link.close(); }
  sim::SimD2xx d2xx;
  ProgrammerLink link{d2xx, 64};
  RecordingView view;
};

TEST(CharacterFilter, KeepsDigitsLettersDotUnderscoreOnly) {
  EXPECT_EQ(FilterAnswer(Bytes("V41\r\n")), "V41  ");
  EXPECT_EQ(FilterAnswer(Bytes("a.b_C-9 !")), "a.b_C 9  ");
  const std::vector<std::uint8_t> high = {0x80, 0xFF, 0x00, 'Z'};
  EXPECT_EQ(FilterAnswer(high), "   Z");
  EXPECT_EQ(HexBytes(std::vector<std::uint8_t>{'A', '1', 0x11}), "413111");
}

TEST(QueryProgrammerVersion, NoDeviceLeavesNothingOpen) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  EXPECT_EQ(QueryProgrammerVersion(link), "FTDI device not found");
  EXPECT_FALSE(link.isOpen);
}

TEST(QueryProgrammerVersion, FiltersTheAnswerAndKeepsTheDeviceOpen) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  auto& programmer = d2xx.attach(Answering("V41", "V41\\r\\n"));
  EXPECT_EQ(QueryProgrammerVersion(link), "V41  ");
  EXPECT_TRUE(link.isOpen);
  EXPECT_TRUE(programmer.isOpen);
  EXPECT_EQ(programmer.hostBytes(), Bytes("B"));
  link.close();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(QueryProgrammerVersion, ReadsAtMostSixteenBytes) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering("ITE", "0123456789ABCDEFGHIJ"));
  EXPECT_EQ(QueryProgrammerVersion(link), "0123456789ABCDEF");
  DWORD rx = 0, tx = 0, event = 0;
  d2xx.FT_GetStatus(link.handle, &rx, &tx, &event);
  EXPECT_EQ(rx, 4u) << "the rest stays in the receive queue";
}

TEST(QueryProgrammerVersion, SilentDevicesLeaveOnlyTheLastOpenedOneOpen) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  for (int i = 0; i < 3; ++i) d2xx.attach(With("no-answer"));
  EXPECT_EQ(QueryProgrammerVersion(link), "FTDI found, ERROR answer");
  EXPECT_TRUE(link.isOpen);
  EXPECT_EQ(d2xx.openHandles(), 1u);
  EXPECT_TRUE(d2xx.programmer(0).isOpen) << "the lowest index is the one the switch uses";
  link.close();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(QueryProgrammerVersion, AnAnswerFromALowerIndexClosesTheSilentOnes) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering("V42"));
  d2xx.attach(With("no-answer"));
  EXPECT_EQ(QueryProgrammerVersion(link), "V42");
  EXPECT_EQ(d2xx.openHandles(), 1u);
}

TEST(QueryProgrammerVersion, ADeviceThatCannotBeOpenedIsPassedOver) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering("V41"));
  d2xx.attach(With("open-fails"));
  EXPECT_EQ(QueryProgrammerVersion(link), "V41");
}

struct OpenCase {
  const char* name;
  const OpenProfile* profile;
  std::string image;
  std::string version;  // empty: the image's own answer
  OpenResult expected;
  std::vector<std::string> lines;
};

class OpenProgrammerProfiles : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenProgrammerProfiles, LogsAndDecides) {
  const OpenCase& c = GetParam();
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering(c.image, c.version));
  EXPECT_EQ(OpenProgrammer(link, *c.profile, view), c.expected);
  EXPECT_EQ(view.lines(), c.lines);
  EXPECT_EQ(link.isOpen, c.expected == OpenResult::Ready);
  EXPECT_EQ(d2xx.openHandles(), c.expected == OpenResult::Ready ? 1u : 0u);
}

const std::string kPorts1 = "Number of VCOM ports found on the machine: 1";
const std::string kInstalled = "Communication with programmer installed.";
const std::string kUpdate = "It is necessary to update the firmware programmer!";

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenProgrammerProfiles,
    ::testing::Values(
        OpenCase{"kb90_ready", &profiles::kKb90, "V41", "", OpenResult::Ready, {kPorts1, kInstalled}},
        OpenCase{"edid_wrong", &profiles::kEdid, "V42", "", OpenResult::WrongFirmware, {kPorts1, kUpdate}},
        OpenCase{"mec_ready", &profiles::kMec16, "V42", "", OpenResult::Ready, {kPorts1, kInstalled}},
        // Three-byte profiles compare the raw bytes: "V4" and CR is not "V41".
        OpenCase{"kb90_raw", &profiles::kKb90, "V41", "V4\\r", OpenResult::WrongFirmware, {kPorts1, kUpdate}},
        OpenCase{"kb90_two_bytes", &profiles::kKb90, "V41", "V4", OpenResult::NotFound,
                 {kPorts1, "The programmer is not found or does not respond"}},
        OpenCase{"edid_two_bytes", &profiles::kEdid, "V41", "V4", OpenResult::NotFound,
                 {kPorts1, "-->  The programmer is not found or does not respond"}},
        OpenCase{"ite_ready", &profiles::kIte, "ITE", "Q27-ITE v2\\r\\n", OpenResult::Ready,
                 {kPorts1, "Версия FW программатора -> Q27 ITE v2  ", kInstalled}},
        OpenCase{"ite_lowercase", &profiles::kIte, "ITE", "q27 ite", OpenResult::WrongFirmware,
                 {kPorts1, "Версия FW программатора -> q27 ite", kUpdate}},
        OpenCase{"npce_ready", &profiles::kNpce, "NPCE", "NPCE288", OpenResult::Ready,
                 {kPorts1, "Version FW -> NPCE288", kInstalled}},
        OpenCase{"npce_lowercase", &profiles::kNpce, "NPCE", "npce", OpenResult::WrongFirmware,
                 {kPorts1, "Version FW -> npce", kUpdate}}),
    [](const auto& param) { return std::string(param.param.name); });

// A programmer that never stops sending cannot be asked: once the drain's bound has passed,
// the start query leaves it open as one that did not answer, and a window's open passes it
// over; 'B' is never sent, and nothing waits longer than the bound.
TEST(StrayBytes, ALineThatNeverFallsQuietEndsTheOpenWithinItsBound) {
  struct Case {
    const OpenProfile* profile;  // null: the start query
    std::vector<std::string> lines;
  };
  const std::string kNotFound = "The programmer is not found or does not respond";
  const auto bound = std::chrono::milliseconds(limits::kStrayDrainBoundMs);
  for (const Case& c : {Case{nullptr, {}}, Case{&profiles::kKb90, {kPorts1, kNotFound}},
                        Case{&profiles::kNpce, {kPorts1, kNotFound}}}) {
    LinkBench bench;
    auto& [d2xx, link, view] = bench;
    sim::SimOptions babbling;
    babbling.faults["send-past-purge"] = "1000000:100000";  // a byte every 0.1 ms for 100 s
    auto& programmer = d2xx.attach(babbling);
    const auto start = std::chrono::steady_clock::now();
    if (c.profile) {
      EXPECT_EQ(OpenProgrammer(link, *c.profile, view), OpenResult::NotFound);
    } else {
      EXPECT_EQ(QueryProgrammerVersion(link), "FTDI found, ERROR answer");
    }
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string name = c.profile ? std::string(c.profile->tag) : "query";
    EXPECT_GE(took, bound) << name;
    EXPECT_LT(took, bound + std::chrono::seconds(1)) << name;
    EXPECT_TRUE(programmer.hostBytes().empty()) << name << ": 'B' was sent";
    EXPECT_EQ(view.lines(), c.lines) << name;
    EXPECT_EQ(d2xx.openHandles(), c.profile ? 0u : 1u) << name << ": the start query keeps the last device open";
  }
}

TEST(OpenProgrammer, NoDevice) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::NotFound);
  EXPECT_EQ(view.lines(), std::vector<std::string>{"VCOM port is not found on the machine!"});
}

TEST(OpenProgrammer, TheHigherIndexDecidesEvenWhenTheOtherWouldFit) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  auto& fitting = d2xx.attach(Answering("V41"));
  auto& other = d2xx.attach(Answering("V42"));
  EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::WrongFirmware);
  EXPECT_EQ(view.lines()[0], "Number of VCOM ports found on the machine: 2");
  EXPECT_TRUE(fitting.hostBytes().empty()) << "no further device is tried";
  EXPECT_EQ(other.hostBytes(), Bytes("B"));
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(OpenProgrammer, AShortAnswerClosesThatDeviceAndTriesTheNext) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  auto& fitting = d2xx.attach(Answering("V41"));
  auto& stammering = d2xx.attach(Answering("V41", "V4"));
  EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::Ready);
  EXPECT_FALSE(stammering.isOpen);
  EXPECT_TRUE(fitting.isOpen);
}

TEST(OpenProgrammer, KeyboardProfileLogsEachConfigurationStep) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering("V41"));
  ASSERT_EQ(OpenProgrammer(link, profiles::kKeyboard, view), OpenResult::Ready);
  EXPECT_EQ(view.lines(), test::KeyboardOpenLog());
  EXPECT_EQ(view.lastLine(), kInstalled);
}

TEST(OpenProgrammer, ZeroTimeoutsAfterReadyMeanAReadWaitsForItsCount) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  auto& programmer = d2xx.attach(Answering("V41"));
  ASSERT_EQ(OpenProgrammer(link, profiles::kEdid, view), OpenResult::Ready);
  // The programmer answers 'B' again; with 0/0 the read of 3 waits until all three came.
  link.writeByte('B');
  link.read(3);
  EXPECT_EQ(link.transferred, 3u);
  EXPECT_EQ(programmer.hostBytes(), Bytes("BB"));
}

TEST(OpenProgrammer, UnpluggedDeviceIsNotFound) {
  LinkBench bench;
  auto& [d2xx, link, view] = bench;
  d2xx.attach(Answering("V41"));
  d2xx.unplug(0);
  EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::NotFound);
  EXPECT_EQ(view.lastLine(), "VCOM port is not found on the machine!");
}

}  // namespace
}  // namespace jig

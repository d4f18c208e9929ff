// The whole firmware switch against the simulated programmer: bytes on the wire, the
// update window's lines and state, and every ending within its bound.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/Commands.h"
#include "app/Families.h"
#include "link/Bounds.h"
#include "main/BootUpload.h"
#include "main/MainForm.h"
#include "sim/BootLoaderSim.h"
#include "sim/SimD2xx.h"
#include "sim/StandInImage.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::Bytes;
using test::RecordingView;
using Clock = std::chrono::steady_clock;

const std::string kXonText(1, '\x11');
const std::string kGreeting = "Q27_BOOT V1.3" + kXonText;
// A boot loader that waits already answers the first chunk of the 'U' stream.
const std::vector<std::uint8_t> kSyncChunk(limits::kBootSyncChunk, 'U');

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The image's lines as the boot loader is sent them: the HEX file's records with LF.
std::vector<std::uint8_t> LinesOf(const std::string& tag) {
  std::string hex = sim::ToIntelHex(sim::StandInImage(tag));
  hex.erase(hex.find(":00000001FF"));
  for (std::size_t at; (at = hex.find('\r')) != std::string::npos;) hex.erase(at, 1);
  return Bytes(hex);
}

// The window's Timer_5SEC sets BootTimeoutFlag: the worker honours it as well.
class TimerView : public RecordingView {
 public:
  std::function<void()> onBootTimer;
  void setTimer(std::string_view timer, bool running) override {
    RecordingView::setTimer(timer, running);
    if (timer == "Timer_5SEC" && running && onBootTimer) onBootTimer();
  }
};

// A simulated programmer that passes for real hardware.
class HardwareLookalike : public sim::SimD2xx {
 public:
  bool simulated() const override { return false; }
};

// The main window over one simulated programmer, its image folder beside the program.
template <class Programmers = sim::SimD2xx, class MainView = RecordingView>
struct BasicBench {
  explicit BasicBench(sim::SimOptions options = {}) : programmer(d2xx.attach(options)), form(d2xx, mainView, updateView, TaskList()) {
    form.settings().imageFolders = {JIG_BINARY_DIR};
    form.settings().bootWindow = std::chrono::milliseconds(1500);
  }
  // Start with the task chosen; true when the worker ended within the bound.
  bool start(const std::string& task) {
    form.startSwitch(task);
    const bool ended = updateView.waitEnded(std::chrono::seconds(20));
    form.waitForSwitch();
    return ended;
  }
  sim::BootLoaderSim& loader() { return dynamic_cast<sim::BootLoaderSim&>(*programmer.commandSet("BOOT")); }

  Programmers d2xx;
  sim::SimProgrammer& programmer;
  MainView mainView;
  RecordingView updateView;
  MainForm form;
};
using Bench = BasicBench<>;

sim::SimOptions Options(const std::string& image, std::map<std::string, std::string> faults = {}) {
  sim::SimOptions options;
  options.image = image;
  options.faults = std::move(faults);
  return options;
}

TEST(FirmwareSwitch, V41ToV42ByteForByte) {
  Bench bench;
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.programmer.hostBytes(),
            Concat({Bytes("B?"), kSyncChunk, Bytes("pf\n"), LinesOf("V42"), Bytes(":00000001FF\n"), Bytes("g\n")}));
  std::vector<std::uint8_t> answers = Bytes("V41!" + kGreeting + "\r\nPF\r\n" + kXonText);
  for (int line = 0; line < 0x0A4; ++line) {
    const auto accepted = Bytes("\r\n" + kXonText);
    answers.insert(answers.end(), accepted.begin(), accepted.end());
  }
  answers = Concat({answers, Bytes("\rEOF\r\n" + kXonText + "GO\r\n" + kXonText)});
  EXPECT_EQ(bench.programmer.deviceBytes(), answers);
  // 'B' and '?' at the firmware's rate, the rest at the boot loader's.
  const auto transcript = bench.programmer.transcript();
  for (const auto& entry : transcript) {
    if (!entry.toDevice) continue;
    const bool firmware = entry.bytes == Bytes("B") || entry.bytes == Bytes("?");
    EXPECT_EQ(entry.baud, firmware ? 921600u : 115200u);
  }
  EXPECT_EQ(bench.programmer.image(), "V42");
  EXPECT_EQ(bench.updateView.lines(),
            (std::vector<std::string>{"Current version of FW -> V41", "User select -> MEC1609", "Command go to BOOT ... ",
                                      "5132375F424F4F542056312E3311", "BOOT Q27 connected - Q27_BOOT V1.3 ",
                                      "Update firmware ... ", "UPGRADE file loaded to buffer (Q27_jtag.hex)",
                                      "Bytes read from file 7393", "HEX position_buff 0A3F",
                                      "отправлено EOF корректно", "Exit from BOOT and RUN ... "}));
  EXPECT_EQ(bench.updateView.gauge("CGauge_UPD"), 0x0A3F);
  EXPECT_EQ(bench.updateView.gaugeMax("CGauge_UPD"), 0x0A3F);
  EXPECT_EQ(bench.updateView.visible("self"), false);
  EXPECT_TRUE(bench.mainView.timerRunning("Timer_RUN"));
  EXPECT_TRUE(bench.mainView.timerRunning("Timer_5SEC"));
  EXPECT_EQ(bench.updateView.enabled("SpeedButton_UPD_EXIT"), std::nullopt);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.form.lastOutcome(), SwitchOutcome::Switched);
  // The task window then finds the firmware it needs.
  EXPECT_EQ(bench.form.Timer_RUNTimer(), "TMEC16_Form");
}

TEST(FirmwareSwitch, FittingFirmwareSendsOnlyTheB) {
  Bench bench(Options("V42"));
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_EQ(bench.programmer.hostBytes(), Bytes("B"));
  EXPECT_EQ(bench.updateView.lines(),
            (std::vector<std::string>{"Current version of FW -> V42", "User select -> MEC1609"}));
  EXPECT_EQ(bench.updateView.events(), (std::vector<std::string>{"show self 1", "show self 0", "ended ok"}));
  EXPECT_EQ(bench.mainView.events(), (std::vector<std::string>{"timer Timer_RUN 1"}));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.form.lastOutcome(), SwitchOutcome::Fits);
}

TEST(FirmwareSwitch, V42ToV41UploadsTheWholeFlash) {
  Bench bench(Options("V42"));
  ASSERT_TRUE(bench.start("KB9010/12/16/22"));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{true});
  EXPECT_EQ(bench.programmer.image(), "V41");
  const auto image = sim::StandInImage("V41");
  EXPECT_TRUE(std::equal(image.begin(), image.end(), bench.loader().flash().begin()));
  EXPECT_EQ(bench.loader().linesTaken(), 384);
  EXPECT_EQ(bench.updateView.gauge("CGauge_UPD"), 0x17FF);
}

TEST(FirmwareSwitch, GreetingLengths) {
  // 15 bytes ending with XON connect.
  const std::string fifteen = "ABCDEFGHIJKLMN" + kXonText;
  Bench good(Options("V41", {{"boot-greeting", fifteen}}));
  ASSERT_TRUE(good.start("ITE chip"));
  EXPECT_EQ(good.updateView.endings(), std::vector<bool>{true});
  const auto lines = good.updateView.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "4142434445464748494A4B4C4D4E11"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "BOOT Q27 connected - ABCDEFGHIJKLMN "), lines.end());

  // 16 bytes without XON fail each attempt; the user is asked to push reset in between.
  Bench bad(Options("V41", {{"boot-greeting", "ABCDEFGHIJKLMNOP"}, {"reset-after", "20"}}));
  bad.form.settings().bootWindow = std::chrono::seconds(4);
  ASSERT_TRUE(bad.start("ITE chip"));
  EXPECT_EQ(bad.updateView.endings(), std::vector<bool>{false});
  EXPECT_EQ(bad.updateView.lines(),
            (std::vector<std::string>{"Current version of FW -> V41", "User select -> ITE chip", "Command go to BOOT ... ",
                                      "*** PLEASE PUSH RESET BUTTON ! ***", "*** PLEASE PUSH RESET BUTTON ! ***",
                                      "You did not press the reset button or error response BOOT_loader"}));
  EXPECT_EQ(bad.programmer.resetPresses(), 2);
  EXPECT_EQ(bad.updateView.enabled("SpeedButton_UPD_EXIT"), true);
  const auto sent = bad.programmer.hostBytes();
  EXPECT_EQ(std::find(sent.begin(), sent.end(), 'g'), sent.end()) << "no \"g\" before the boot loader answered";
  EXPECT_EQ(bad.d2xx.openHandles(), 0u);
  EXPECT_EQ(bad.programmer.image(), "BOOT");
}

TEST(FirmwareSwitch, ResetPushedByTheUser) {
  // The firmware ignores '?': the user pushes reset while the 'U' stream runs.
  Bench bench(Options("V41", {{"no-boot-jump", ""}, {"reset-after", "100"}}));
  ASSERT_TRUE(bench.start("NPCE288N/388N"));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{true});
  const auto lines = bench.updateView.lines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[3], "*** FAULT ANSWER. PLEASE push reset button ***");
  EXPECT_EQ(lines[4], "5132375F424F4F542056312E3311");
  EXPECT_EQ(bench.programmer.resetPresses(), 1);
  EXPECT_EQ(bench.programmer.image(), "NPCE");
  // The stream stopped at the first answer: 'U' after 'U' and nothing else before "pf".
  const auto sent = bench.programmer.hostBytes();
  const auto pf = std::search(sent.begin(), sent.end(), std::begin("pf\n"), std::end("pf\n") - 1);
  ASSERT_NE(pf, sent.end());
  EXPECT_TRUE(std::all_of(sent.begin() + 2, pf, [](std::uint8_t b) { return b == 'U'; }));
  EXPECT_GT(pf - sent.begin(), 3) << "more than one 'U' while the user reached for the button";
}

TEST(FirmwareSwitch, NobodyPushesResetEndsAtTheBootLimit) {
  Bench bench(Options("V41", {{"no-boot-jump", ""}, {"no-reset", ""}}));
  bench.form.settings().bootWindow = std::chrono::milliseconds(300);
  const auto start = Clock::now();
  ASSERT_TRUE(bench.start("MEC1609"));
  // 300 ms for 'B', 5 x 300 ms for '!', then the boot limit.
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3500));
  EXPECT_EQ(bench.updateView.lastLine(), "You did not press the reset button or error response BOOT_loader");
  EXPECT_EQ(bench.updateView.enabled("SpeedButton_UPD_EXIT"), true);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.programmer.image(), "V41");
}

// While nobody answers, the 'U' bytes go back to back at 115200 baud (10 bits a byte:
// 11,520 a second), from a worker that sleeps between its looks at the queues.
TEST(FirmwareSwitch, SyncStreamKeepsTheLineBusyWithoutSpinning) {
  sim::SimOptions options = Options("V41", {{"no-boot-jump", ""}, {"no-reset", ""}});
  options.wireTime = true;
  Bench bench(options);
  bench.form.settings().bootWindow = std::chrono::seconds(1);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  ASSERT_TRUE(bench.start("MEC1609"));
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  std::size_t sent = 0;
  std::optional<sim::SimTime> first, last;
  for (const auto& entry : bench.programmer.transcript()) {
    if (!entry.toDevice || entry.baud != 115200u) continue;
    ASSERT_TRUE(std::all_of(entry.bytes.begin(), entry.bytes.end(), [](std::uint8_t b) { return b == 'U'; }));
    sent += entry.bytes.size();
    if (!first) first = entry.at;
    last = entry.at;
  }
  ASSERT_TRUE(first && last && *last > *first);
  const double seconds = std::chrono::duration<double>(*last - *first).count();
  const double rate = static_cast<double>(sent) / seconds;
  const auto cpu = [](const rusage& u) {
    return std::chrono::seconds(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           std::chrono::microseconds(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  const double cpuSeconds = std::chrono::duration<double>(cpu(after) - cpu(before)).count();
  std::cout << "'U' stream: " << sent << " bytes in " << seconds << " s, " << rate << " bytes/s; CPU "
            << cpuSeconds << " s for the whole switch\n";
  // About 11,520 on a quiet machine; a loaded one (sanitizers, other builds) may wake the
  // worker late now and then. One 'U' a millisecond, as before, gives under 1,000.
  EXPECT_GT(rate, 8000.0);
  EXPECT_LE(rate, 11520.0 * 1.05) << "no faster than the line";
  // 300 ms for 'B', 1.5 s for '!', 1 s of 'U': a spinning worker would use a core for it.
  EXPECT_LT(cpuSeconds, 1.0);
  EXPECT_EQ(bench.updateView.lastLine(), "You did not press the reset button or error response BOOT_loader");
}

TEST(FirmwareSwitch, BootTimeoutFlagEndsTheStream) {
  BasicBench<sim::SimD2xx, TimerView> bench(Options("BOOT", {{"no-answer", ""}}));
  auto& [d2xx, programmer, mainView, updateView, form] = bench;
  form.settings().bootWindow = std::chrono::seconds(60);
  std::jthread timer;
  mainView.onBootTimer = [&] {
    timer = std::jthread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      form.Timer_5SECTimer();
    });
  };
  const auto start = Clock::now();
  ASSERT_TRUE(bench.start("ITE chip"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(updateView.lines(),
            (std::vector<std::string>{"Current version of FW -> FTDI found, ERROR answer", "User select -> ITE chip",
                                      "*** PLEASE PUSH RESET BUTTON ! ***",
                                      "You did not press the reset button or error response BOOT_loader"}));
  EXPECT_EQ(form.BootTimeoutFlag.load(), 1);
  EXPECT_FALSE(mainView.timerRunning("Timer_5SEC"));
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

// A programmer that cannot be opened at all is no case for the reset button (there is no
// line for a boot loader to answer on): one line, the switch ends, nothing stays open.
// A programmer that opens and stays silent keeps the documented flow (above).
TEST(FirmwareSwitch, AProgrammerThatCannotBeOpenedIsToldNotReset) {
  Bench bench(Options("V41", {{"open-fails", ""}}));
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_EQ(bench.updateView.lines(),
            (std::vector<std::string>{"Current version of FW -> FTDI found, ERROR answer", "User select -> MEC1609",
                                      "The programmer's port could not be opened; no firmware switch is tried."}));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.updateView.enabled("SpeedButton_UPD_EXIT"), true);
  EXPECT_TRUE(bench.programmer.hostBytes().empty());
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(FirmwareSwitch, FailedLoadStillStartsTheApplication) {
  struct Case {
    std::string fileText;  // empty: no file
    std::vector<std::string> tail;
  };
  test::TempDir dir;
  const Case cases[] = {
      {"", {"Not found .hex file -> Q27_jtag.hex for Q27 in the program folder ", "Q27_jtag.hex: looked in: " + dir.path().string()}},
      {":0400000001020304F2\n:0400040001020304EE\n", {"Bytes read from file 40", "Wrong file format!", "Error format .hex file for Q27!"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir.file("Q27_jtag.hex"));
    if (!c.fileText.empty()) test::WriteFileBytes(dir.file("Q27_jtag.hex"), Bytes(c.fileText));
    Bench bench;
    bench.form.settings().imageFolders = {dir.path()};
    ASSERT_TRUE(bench.start("MEC1609"));
    EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{false});
    const auto lines = bench.updateView.lines();
    ASSERT_GE(lines.size(), c.tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(c.tail.size()), lines.end()), c.tail);
    EXPECT_EQ(bench.programmer.hostBytes(), Concat({Bytes("B?"), kSyncChunk, Bytes("g\n")}));
    EXPECT_EQ(bench.programmer.image(), "V41") << "\"g\" started the application still in the flash";
    EXPECT_EQ(bench.updateView.enabled("SpeedButton_UPD_EXIT"), true);
    EXPECT_FALSE(bench.mainView.timerRunning("Timer_RUN"));
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

// A failed switch ends with one verdict of its own, whatever failed; one that succeeds
// opens the task window (or, on the command line, goes on to the action) and adds none.
TEST(FirmwareSwitch, EveryFailureEndsWithOneVerdict) {
  struct Case {
    const char* name;
    sim::SimOptions options;
    bool switched;
  };
  const Case cases[] = {
      {"fits", Options("V42"), true},
      {"uploaded", Options("V41"), true},
      {"cannot be opened", Options("V41", {{"open-fails", ""}}), false},
      {"unplugged midway", Options("V41", {{"unplug-after", "60"}}), false},
      {"a line refused", Options("V41", {{"boot-refuse-line", "5"}}), false},
  };
  for (const Case& c : cases) {
    Bench bench(c.options);
    ASSERT_TRUE(bench.start("MEC1609")) << c.name;
    EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{c.switched}) << c.name;
    const std::vector<std::string> failed{
        "RESULT: firmware switch FAILED, the task window does not open; no chip was touched."};
    EXPECT_EQ(bench.updateView.verdicts(), c.switched ? std::vector<std::string>{} : failed) << c.name;
  }
}

TEST(FirmwareSwitch, RefusedLineSkipsTheEndRecord) {
  Bench bench(Options("V41", {{"boot-refuse-line", "5"}}));
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{false});
  const auto lines = bench.updateView.lines();
  EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
            (std::vector<std::string>{"ERROR FW upgrade!", "Flashing Q27 error!"}));
  const auto sent = bench.programmer.hostBytes();
  const auto tail = Bytes(":10005000" );
  EXPECT_NE(std::search(sent.begin(), sent.end(), tail.begin(), tail.end()), sent.end());
  EXPECT_EQ(std::search(sent.begin(), sent.end(), std::begin(":00000001FF"), std::end(":00000001FF") - 1), sent.end());
  EXPECT_EQ(std::vector<std::uint8_t>(sent.end() - 2, sent.end()), Bytes("g\n"));
  // An erased flash holds no application: the boot loader stays.
  EXPECT_EQ(bench.programmer.image(), "BOOT");
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(FirmwareSwitch, UnpluggedMidwayEndsCleanly) {
  Bench bench(Options("V41", {{"unplug-after", "60"}}));
  const auto start = Clock::now();
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(bench.updateView.endings(), std::vector<bool>{false});
  EXPECT_EQ(bench.updateView.enabled("SpeedButton_UPD_EXIT"), true);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(FirmwareSwitch, SecondStartWhileSwitchingIsIgnored) {
  Bench bench(Options("V41", {{"no-boot-jump", ""}, {"no-reset", ""}}));
  bench.form.settings().bootWindow = std::chrono::milliseconds(200);
  bench.form.startSwitch("MEC1609");
  bench.form.startSwitch("MEC1609");
  ASSERT_TRUE(bench.updateView.waitEnded(std::chrono::seconds(10)));
  bench.form.waitForSwitch();
  EXPECT_EQ(bench.updateView.endings().size(), 1u);
  const auto sent = bench.programmer.hostBytes();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), 'B'), 1) << "one query, one worker";
}

TEST(FirmwareSwitch, CommandLine) {
  // The command line looks for the images beside the program, or in the current folder.
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(JIG_BINARY_DIR), 0);
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach();
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, {"switch", "MEC1609"}, false, out, err);
  std::ostringstream outFits, errFits;
  const int fits = RunCommand(d2xx, {"switch", "MEC1609"}, false, outFits, errFits);
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(status, kExitOk) << out.str() << err.str();
  EXPECT_NE(out.str().find("Exit from BOOT and RUN ... \n"), std::string::npos) << out.str();
  EXPECT_EQ(programmer.image(), "V42");
  EXPECT_EQ(fits, kExitOk);
  EXPECT_EQ(outFits.str(), "Current version of FW -> V42\nUser select -> MEC1609\n");

  sim::SimD2xx nobody;
  std::ostringstream none, noneErr;
  EXPECT_EQ(RunCommand(nobody, {"switch", "MEC1609"}, false, none, noneErr), kExitFailed);
  EXPECT_NE(noneErr.str().find("JIG not connected to the USB port!"), std::string::npos);
}

TEST(FirmwareSwitch, StandInImagesNeverReachARealProgrammer) {
  BasicBench<HardwareLookalike> bench(Options("V41"));
  auto& [d2xx, programmer, mainView, updateView, form] = bench;
  ASSERT_TRUE(bench.start("MEC1609"));
  EXPECT_EQ(updateView.endings(), std::vector<bool>{false});
  EXPECT_EQ(programmer.hostBytes(), Concat({Bytes("B?"), kSyncChunk, Bytes("g\n")})) << "nothing of the image was sent";
  const auto lines = updateView.lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "This image is a stand-in for the simulated programmer; put the vendor's image beside the program."),
            lines.end());
  EXPECT_EQ(programmer.image(), "V41") << "the boot loader starts the application it still holds";
  EXPECT_EQ(updateView.enabled("SpeedButton_UPD_EXIT"), true);
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

}  // namespace
}  // namespace jig

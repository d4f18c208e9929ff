// A programmer that is there but cannot serve: the open says what to fix instead of "not
// found", and a slow latency timer is named with its fix; everything else stays as it was.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "Edid/EdidFamily.h"
#include "Ite/IteFamily.h"
#include "Kb901x_form/Kb90Family.h"
#include "Mec16xx/Mec16Family.h"
#include "Npce/NpceFamily.h"
#include "link/OpenProgrammer.h"
#include "link/Preflight.h"
#include "link/SerialD2xx.h"
#include "sim/SimD2xx.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::RecordingView;

constexpr const char* kNotFound = "The programmer is not found or does not respond";
constexpr const char* kInstalled = "Communication with programmer installed.";

// Simulated programmers behind ports that may refuse this user or keep a slow timer.
class BenchD2xx : public sim::SimD2xx {
 public:
  std::set<int> deniedIndexes;
  std::optional<int> latencyMs;

  FT_STATUS FT_Open(int index, FT_HANDLE* handle) override {
    if (deniedIndexes.count(index)) return FT_DEVICE_NOT_OPENED;
    return SimD2xx::FT_Open(index, handle);
  }
  std::optional<OpenRefusal> OpenRefused(int index) override {
    if (!deniedIndexes.count(index)) return std::nullopt;
    return OpenRefusal{OpenRefusal::Why::Permission, "/dev/ttyUSB" + std::to_string(index), std::nullopt};
  }
  std::optional<LatencyReading> LatencyTimer(FT_HANDLE) override {
    if (!latencyMs) return std::nullopt;
    return LatencyReading{"/dev/ttyUSB0", *latencyMs};
  }
};

TEST(Preflight, ADeniedProgrammerIsNamedWithTheFixInsteadOfNotFound) {
  BenchD2xx d2xx;
  d2xx.attach();
  d2xx.deniedIndexes = {0};
  ProgrammerLink link(d2xx, 64);
  RecordingView view;
  EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::NotFound);
  // The documented line stays; the refusal follows it.
  EXPECT_EQ(view.lines(), (std::vector<std::string>{"Number of VCOM ports found on the machine: 1", kNotFound,
                                                    PermissionDeniedLine("/dev/ttyUSB0")}));
  EXPECT_NE(view.lastLine().find("dialout"), std::string::npos);
  EXPECT_NE(view.lastLine().find("99-holbrenik-jig.rules"), std::string::npos);
  EXPECT_EQ(d2xx.openHandles(), 0u);
  EXPECT_TRUE(d2xx.programmer(0).hostBytes().empty());

  // An open that fails for another reason keeps the documented line.
  sim::SimD2xx plain;
  sim::SimOptions broken;
  broken.faults["open-fails"] = "";
  plain.attach(broken);
  ProgrammerLink other(plain, 64);
  RecordingView otherView;
  EXPECT_EQ(OpenProgrammer(other, profiles::kKb90, otherView), OpenResult::NotFound);
  EXPECT_EQ(otherView.lastLine(), kNotFound);
}

TEST(Preflight, AnotherPortThatAnswersWinsOverADeniedOne) {
  BenchD2xx d2xx;
  d2xx.attach();
  d2xx.attach();
  d2xx.deniedIndexes = {1};  // tried first
  ProgrammerLink link(d2xx, 64);
  RecordingView view;
  EXPECT_EQ(OpenProgrammer(link, profiles::kEdid, view), OpenResult::Ready);
  EXPECT_EQ(view.lastLine(), kInstalled);
  link.close();
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(Preflight, ASlowLatencyTimerIsReportedAfterTheReadyLine) {
  for (int ms : {16, 3, 2, 1}) {
    BenchD2xx d2xx;
    d2xx.attach();
    d2xx.latencyMs = ms;
    ProgrammerLink link(d2xx, 64);
    RecordingView view;
    EXPECT_EQ(OpenProgrammer(link, profiles::kKb90, view), OpenResult::Ready) << ms;
    const auto lines = view.lines();
    if (ms > 2) {
      ASSERT_EQ(lines.size(), 3u) << ms;
      EXPECT_EQ(lines[1], kInstalled);
      EXPECT_EQ(lines[2], SlowLatencyLine({"/dev/ttyUSB0", ms}, 2));
    } else {
      EXPECT_EQ(view.lastLine(), kInstalled) << ms;
    }
    link.close();
  }
  EXPECT_EQ(SlowLatencyLine({"/dev/ttyUSB3", 16}, 2),
            "The latency timer of /dev/ttyUSB3 stays at 16 ms (2 ms needed, transfers will be slow): install the "
            "udev rule 99-holbrenik-jig.rules or run \"echo 2 | sudo tee "
            "/sys/bus/usb-serial/devices/ttyUSB3/latency_timer\"");
}

// The MEC16xx and ITE windows speak Russian: so do these lines there.
TEST(Preflight, RussianWindowsGetTheLinesInRussian) {
  struct Case {
    const OpenProfile* profile;
    const char* image;
    bool russian;
  };
  for (const Case& c : {Case{&profiles::kMec16, "V42", true}, Case{&profiles::kIte, "ITE", true},
                        Case{&profiles::kNpce, "NPCE", false}}) {
    const LogLanguage language = c.russian ? LogLanguage::Russian : LogLanguage::English;
    sim::SimOptions options;
    options.image = c.image;
    BenchD2xx slow;
    slow.attach(options);
    slow.latencyMs = 16;
    ProgrammerLink link(slow, 64);
    RecordingView view;
    OpenProgrammer(link, *c.profile, view);
    link.close();
    EXPECT_EQ(view.lastLine(), SlowLatencyLine({"/dev/ttyUSB0", 16}, 2, language)) << c.profile->window;

    BenchD2xx denied;
    denied.attach(options);
    denied.deniedIndexes = {0};
    ProgrammerLink refused(denied, 64);
    RecordingView refusedView;
    EXPECT_EQ(OpenProgrammer(refused, *c.profile, refusedView), OpenResult::NotFound);
    const auto lines = refusedView.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), PermissionDeniedLine("/dev/ttyUSB0", language)), lines.end())
        << c.profile->window;
  }
  EXPECT_EQ(SlowLatencyLine({"/dev/ttyUSB3", 16}, 2, LogLanguage::Russian),
            "Таймер задержки /dev/ttyUSB3 стоит на 16 мс (нужно 2 мс, обмен будет медленным): установите правило "
            "udev 99-holbrenik-jig.rules или выполните \"echo 2 | sudo tee "
            "/sys/bus/usb-serial/devices/ttyUSB3/latency_timer\"");
  EXPECT_NE(PermissionDeniedLine("/dev/ttyUSB0", LogLanguage::Russian).find("usermod -aG dialout"), std::string::npos);
}

// The termios backend tells a refused open from a missing port. As root the refusal is
// made in a child that gives up its rights.
TEST(Preflight, SerialBackendTellsAPermissionRefusalFromAMissingPort) {
  SerialD2xx missing({"/dev/no-such-programmer"});
  DWORD count = 0;
  ASSERT_EQ(missing.FT_CreateDeviceInfoList(&count), FT_OK);
  FT_HANDLE handle = 0;
  EXPECT_NE(missing.FT_Open(0, &handle), FT_OK);
  ASSERT_TRUE(missing.OpenRefused(0).has_value());
  EXPECT_EQ(missing.OpenRefused(0)->why, OpenRefusal::Why::NoSuchPort);

  test::TempDir dir;
  const std::string port = dir.file("ttyUSB0");
  test::WriteFileBytes(port, {0});
  fs::permissions(port, fs::perms::none);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    SerialD2xx d2xx({port});
    DWORD n = 0;
    FT_HANDLE h = 0;
    d2xx.FT_CreateDeviceInfoList(&n);
    if (d2xx.FT_Open(0, &h) == FT_OK) _exit(4);
    const auto denied = d2xx.OpenRefused(0);
    _exit(denied && denied->port == port && denied->why == OpenRefusal::Why::Permission ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not drop rights, 4: opened, 5: not reported as denied";
}

// A path given as the programmer's port that names nothing, or no serial port, is said so
// in one line that names it (in the window's language), and nothing is left open or locked.
TEST(Preflight, APathThatIsNoSerialPortIsNamed) {
  test::TempDir dir;
  test::WriteFileBytes(dir.file("regular"), {1, 2, 3});
  fs::create_directory(dir.file("folder"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
  struct Case {
    std::string path;
    OpenRefusal::Why why;
    std::string english, russian;
  };
  const Case cases[] = {
      {"/dev/nonexist", OpenRefusal::Why::NoSuchPort, "There is no port \"/dev/nonexist\": no programmer can be there.",
       "Порта \"/dev/nonexist\" нет: программатора там нет."},
      {"", OpenRefusal::Why::NoSuchPort, "There is no port \"\": no programmer can be there.", ""},
      {dir.file("missing/ttyUSB0"), OpenRefusal::Why::NoSuchPort, "", ""},
      {dir.file("regular"), OpenRefusal::Why::NotSerial,
       "\"" + dir.file("regular") + "\" is not a serial port: no programmer can be there.",
       "\"" + dir.file("regular") + "\" не последовательный порт: программатора там нет."},
      {"/dev/null", OpenRefusal::Why::NotSerial, "", ""},
      {dir.file("folder"), OpenRefusal::Why::NotSerial, "", ""},
      {dir.file("fifo"), OpenRefusal::Why::NotSerial, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    SerialD2xx d2xx({c.path});
    DWORD count = 0;
    ASSERT_EQ(d2xx.FT_CreateDeviceInfoList(&count), FT_OK);
    FT_HANDLE handle = 0;
    EXPECT_NE(d2xx.FT_Open(0, &handle), FT_OK);
    const auto refusal = d2xx.OpenRefused(0);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->why, c.why);
    EXPECT_EQ(refusal->port, c.path);
    if (!c.english.empty()) {
      EXPECT_EQ(RefusalLine(*refusal), c.english);
    }
    if (!c.russian.empty()) {
      EXPECT_EQ(RefusalLine(*refusal, LogLanguage::Russian), c.russian);
    }
  }
}

TEST(Preflight, SerialBackendReadsTheTimerTheDriverKeeps) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  test::TempDir sysfs;
  const fs::path timer = sysfs.path() / "class" / "tty" / fs::path(name).filename() / "device" / "latency_timer";
  SerialD2xx d2xx({name}, sysfs.path().string());
  DWORD count = 0;
  FT_HANDLE handle = 0;
  ASSERT_EQ(d2xx.FT_CreateDeviceInfoList(&count), FT_OK);
  ASSERT_EQ(d2xx.FT_Open(0, &handle), FT_OK);
  EXPECT_FALSE(d2xx.LatencyTimer(handle).has_value()) << "a port without the timer reports nothing";

  fs::create_directories(timer.parent_path());
  std::ofstream(timer) << "16\n";
  ASSERT_EQ(d2xx.FT_SetLatencyTimer(handle, 2), FT_OK);
  auto reading = d2xx.LatencyTimer(handle);
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->ms, 2);
  EXPECT_EQ(reading->port, name);

  std::ofstream(timer) << "16\n";  // what a driver that refused the change shows
  reading = d2xx.LatencyTimer(handle);
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->ms, 16);
  d2xx.FT_Close(handle);
  ::close(slave);
  ::close(master);
}

}  // namespace
}  // namespace jig

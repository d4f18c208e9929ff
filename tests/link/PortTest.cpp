// The port is one program's at a time, and every open starts from empty queues: over the
// termios backend on a pseudo-terminal, in-process and with the real programs.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "app/Commands.h"
#include "link/OpenProgrammer.h"
#include "link/Preflight.h"
#include "link/SerialD2xx.h"
#include "sim/SimD2xx.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

struct Pty {
  Pty() { openpty(&master, &slave, name, nullptr, nullptr); }
  ~Pty() {
    ::close(slave);
    ::close(master);
  }
  int master = -1, slave = -1;
  char name[256] = {};
};

FT_STATUS Open(SerialD2xx& d2xx, FT_HANDLE& handle) {
  DWORD count = 0;
  d2xx.FT_CreateDeviceInfoList(&count);
  return d2xx.FT_Open(0, &handle);
}

TEST(PortLock, ASecondHolderIsRefusedAsInUseAndAHeldLockOutlivesTheClose) {
  Pty pty;
  SerialD2xx first({pty.name}), second({pty.name});
  FT_HANDLE a = 0, b = 0;
  ASSERT_EQ(Open(first, a), FT_OK);
  EXPECT_NE(Open(second, b), FT_OK);
  const auto refusal = second.OpenRefused(0);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->why, OpenRefusal::Why::InUse);
  EXPECT_EQ(refusal->port, pty.name);
  EXPECT_EQ(RefusalLine(*refusal), "The programmer on " + std::string(pty.name) + " is in use by another program.");
  first.FT_Close(a);
  ASSERT_EQ(Open(second, b), FT_OK) << "the lock goes with the handle";
  second.FT_Close(b);

  // A command holds the port across its opens, until it ends.
  {
    SerialD2xx command({pty.name});
    command.holdPortLocks(true);
    ASSERT_EQ(Open(command, a), FT_OK);
    command.FT_Close(a);
    EXPECT_NE(Open(second, b), FT_OK);
    ASSERT_EQ(Open(command, a), FT_OK) << "its own next open is not refused";
    command.FT_Close(a);
  }
  EXPECT_EQ(Open(second, b), FT_OK);
  second.FT_Close(b);
}

// TIOCEXCL is cleared at each close: without root, a second open of the same program was
// refused for ever.
TEST(PortLock, AnOpenAfterACloseWorksWithoutRoot) {
  Pty pty;
  ASSERT_EQ(fchmod(pty.slave, 0666), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    SerialD2xx d2xx({pty.name});
    for (int i = 0; i < 3; ++i) {
      FT_HANDLE handle = 0;
      if (Open(d2xx, handle) != FT_OK) _exit(10 + i);
      d2xx.FT_Close(handle);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not drop rights; 1n: open n refused";
}

// A held port is named at Start and in every command after the documented line, and is no
// reason to push the reset button.
TEST(PortLock, ARefusedPortIsNamedAfterTheDocumentedLines) {
  test::SimProcess sim;
  ASSERT_FALSE(sim.path().empty());
  SerialD2xx holder({sim.path()});
  FT_HANDLE held = 0;
  ASSERT_EQ(Open(holder, held), FT_OK);
  const std::string inUse = "The programmer on " + sim.path() + " is in use by another program.";

  SerialD2xx d2xx({sim.path()});
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(d2xx, {"version"}, false, out, err), kExitFailed);
  EXPECT_EQ(out.str(), "FTDI found, ERROR answer\n");
  EXPECT_EQ(err.str(), inUse + "\n");

  std::ostringstream readOut, readErr;
  test::TempDir dir;
  EXPECT_EQ(RunCommand(d2xx, {"kb90", "read", dir.file("x.bin")}, false, readOut, readErr), kExitFailed);
  EXPECT_NE(readOut.str().find("Current version of FW -> FTDI found, ERROR answer\nUser select -> KB9010/12/16/22\n" + inUse),
            std::string::npos)
      << readOut.str();
  EXPECT_EQ(readOut.str().find("PUSH RESET"), std::string::npos) << readOut.str();
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
  holder.FT_Close(held);
}

// What an earlier command left in the queue (here a whole EEPROM answer nobody read) is not
// taken for the next command's version answer.
TEST(PortQueues, LeftoverBytesDoNotChangeTheVersion) {
  auto leaveAnswer = [](D2xx& d2xx) {
    DWORD count = 0;
    FT_HANDLE handle = 0;
    d2xx.FT_CreateDeviceInfoList(&count);
    ASSERT_EQ(d2xx.FT_Open(0, &handle), FT_OK);
    d2xx.FT_SetBaudRate(handle, 921600);
    DWORD written = 0, available = 0;
    d2xx.FT_Write(handle, "Er", 2, &written);
    EXPECT_EQ(d2xx.WaitForRx(handle, 258, 2000, &available), FT_OK);
    d2xx.FT_Close(handle);
  };
  {
    sim::SimD2xx d2xx;
    d2xx.attach();
    leaveAnswer(d2xx);
    std::ostringstream out, err;
    EXPECT_EQ(RunCommand(d2xx, {"version"}, false, out, err), kExitOk);
    EXPECT_EQ(out.str(), "V41\n");
  }
  test::SimProcess sim;
  ASSERT_FALSE(sim.path().empty());
  SerialD2xx d2xx({sim.path()});
  leaveAnswer(d2xx);
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(d2xx, {"version"}, false, out, err), kExitOk);
  EXPECT_EQ(out.str(), "V41\n");
}

// The rest of a block still on its way when the host stopped reading comes after the
// open's purge: 40 bytes, enough to push the tag out of a 16-byte answer. Fifty version
// queries in a row, each after its own stray bytes, each read exactly "V41".
constexpr int kStrayRuns = 50;

TEST(PortQueues, BytesStillComingAfterThePurgeAreNotTakenForTheVersion) {
  sim::SimOptions options;
  std::string error;
  ASSERT_TRUE(sim::AddFault(options, "send-past-purge=40:10", error));  // one every 0.25 ms
  sim::SimD2xx d2xx;
  auto& programmer = d2xx.attach(options);
  for (int run = 0; run < kStrayRuns; ++run) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCommand(d2xx, {"version"}, false, out, err), kExitOk) << "run " << run << ": " << out.str();
    ASSERT_EQ(out.str(), "V41\n") << "run " << run;
  }
  EXPECT_EQ(programmer.deviceBytes().size(), kStrayRuns * (40u + 3u)) << "each run had its stray bytes";
}

// Waits (bounded) until the program holds the advisory lock on the port.
bool AwaitLockHeldBy(const std::string& port, pid_t pid, std::chrono::seconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (SerialD2xx::LockHolder(port) == pid) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Two programs on one port: the second, started once the first holds the port, is refused
// with the first one's PID without waiting for it (the first still holds the port when the
// second has ended), and the first reads on undisturbed (both of its reads agree).
TEST(PortLock, TwoProgramsOnOnePort) {
  test::TempDir dir;
  test::SimProcess sim({"--sim-wire", "--sim-state", dir.file("state")});
  ASSERT_FALSE(sim.path().empty());
  const std::string program = std::string(JIG_BINARY_DIR) + "/holbrenik-jig";
  test::BackgroundProgram first({program, "--port", sim.path(), "kb90", "read", dir.file("a.bin"), "--read-twice"});
  ASSERT_TRUE(AwaitLockHeldBy(sim.path(), first.pid(), std::chrono::seconds(60))) << "the first never took the port";
  test::BackgroundProgram second({program, "--port", sim.path(), "version"});
  std::string secondOutput;
  EXPECT_EQ(second.wait(60000, secondOutput), kExitFailed);
  EXPECT_EQ(SerialD2xx::LockHolder(sim.path()), first.pid()) << "the second waited for the first to let go";
  EXPECT_NE(secondOutput.find("The programmer on " + sim.path() + " is in use by another program (PID " +
                              std::to_string(first.pid()) + ")."),
            std::string::npos)
      << secondOutput;
  std::string firstOutput;
  EXPECT_EQ(first.wait(60000, firstOutput), kExitOk) << firstOutput;
  EXPECT_NE(firstOutput.find("Read twice: both reads match."), std::string::npos) << firstOutput;
  EXPECT_EQ(test::ReadFileBytes(dir.file("a.bin")).size(), 131072u);
}

}  // namespace
}  // namespace jig

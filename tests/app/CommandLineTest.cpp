// The command line: options, the command table, and the version command against the
// simulator and, end to end, against jig-sim over the termios backend; scripts/run in the
// caller's folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "app/Commands.h"
#include "app/Families.h"
#include "app/Options.h"
#include "link/SerialD2xx.h"
#include "sim/SimD2xx.h"
#include "sim/SimImages.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

TEST(Options, GlobalOptionsAnywhereCommandWordsInOrder) {
  const Options options =
      ParseOptions({"kb90", "--simulate", "read", "dump.bin", "--sim-fault", "silence-after=10", "--force", "--verbose"});
  EXPECT_TRUE(options.error.empty()) << options.error;
  EXPECT_TRUE(options.simulate);
  EXPECT_TRUE(options.force);
  EXPECT_EQ(options.sim.number("silence-after", -1), 10);
  EXPECT_EQ(options.words, (std::vector<std::string>{"kb90", "read", "dump.bin", "--verbose"}));
}

TEST(Options, BadUsageIsReported) {
  EXPECT_FALSE(ParseOptions({"--port"}).error.empty());
  EXPECT_FALSE(ParseOptions({"--sim-fault", "melt"}).error.empty());
  EXPECT_FALSE(ParseOptions({"--sim-image", "V99"}).error.empty());
  EXPECT_FALSE(ParseOptions({"--simulate", "--port", "/dev/ttyUSB0"}).error.empty());
  const Options ports = ParseOptions({"--port", "/dev/a", "--port", "/dev/b", "version"});
  EXPECT_EQ(ports.ports, (std::vector<std::string>{"/dev/a", "/dev/b"}));
}

// The answers a write shares are global flags: on either side of the command, as --force.
// "--" ends the options: what follows is taken as it stands, wherever it comes.
TEST(Options, SharedAnswersAnywhereAndTheEndOfOptions) {
  struct Case {
    std::vector<std::string> arguments;
    bool yes, backup, force;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {{"--yes", "--no-backup", "npce", "write", "f.bin"}, true, false, false, {"npce", "write", "f.bin"}},
      {{"npce", "write", "f.bin", "--yes"}, true, true, false, {"npce", "write", "f.bin"}},
      {{"npce", "--no-backup", "write", "f.bin"}, false, false, false, {"npce", "write", "f.bin"}},
      {{"--force", "kb90", "read", "--", "--yes"}, false, true, true, {"kb90", "read", "--", "--yes"}},
      {{"--", "kb90", "read", "--force"}, false, true, false, {"--", "kb90", "read", "--force"}},
  };
  for (const Case& c : cases) {
    const Options options = ParseOptions(c.arguments);
    const std::string said = ::testing::PrintToString(c.arguments);
    EXPECT_TRUE(options.error.empty()) << said << options.error;
    EXPECT_EQ(options.yes, c.yes) << said;
    EXPECT_EQ(options.backup, c.backup) << said;
    EXPECT_EQ(options.force, c.force) << said;
    EXPECT_EQ(options.words, c.words) << said;
  }
  // After "--" a word is an operand, a file named like a flag included.
  sim::SimD2xx none;
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(none, {"npce", "read", "--", "--yes"}, false, out, err), kExitFailed) << err.str();
  EXPECT_EQ(RunCommand(none, {"--", "npce", "read", "--read-twice"}, false, out, err), kExitFailed) << err.str();
  EXPECT_EQ(RunCommand(none, {"npce", "read", "--", "a.bin", "b.bin"}, false, out, err), kExitUsage);
}

// A fault's number that cannot be meant is bad usage, never a fault silently left off.
TEST(Options, FaultNumbersOutOfTheirRangeAreBadUsage) {
  const std::pair<const char*, bool> cases[] = {
      {"silence-after=10", true},        {"silence-after=0x20", true},     {"silence-after=", false},
      {"silence-after=-1", false},       {"unplug-after=+5", false},       {"garbage-after=99999999999999999999", false},
      {"npce-erase-ms=2147483648", false}, {"npce-erase-ms=2147483647", true}, {"kb90-bad-byte=0x1FFFF", true},
      {"kb90-bad-byte=-3", false},       {"mec16-flip-bit=2FFFF", true},   {"mec16-flip-bit=1FFFFFFFF", false},
      {"npce-end-answer=255", true},     {"npce-end-answer=256", false},   {"silence-after=12abc", false},
      // A fault that counts something needs its count; lists take counts only; a range in
      // the fault's help is its range.
      {"silence-after", false},          {"kb90-pace-marks=", true},       {"kb90-pace-marks", true},
      {"mec16-no-g=-2", false},          {"mec16-no-g=1,99999999999999", false}, {"mec16-no-g=1,7", true},
      {"mec16-lose-register=,,", false}, {"mec16-lose-register=2,", false}, {"mec16-lose-register=", false},
      {"send-past-purge=1:99999999999", false}, {"send-past-purge=1:+5", false}, {"send-past-purge=40:10", true},
      {"kb90-silence-block=0", false},   {"kb90-silence-block=513", false}, {"kb90-silence-block=1", true},
      {"kb90-silence-block=512", true},  {"mec16-id-bytes=4", false},      {"mec16-id-bytes=3", true},
  };
  for (const auto& [fault, accepted] : cases) {
    const Options options = ParseOptions({"--simulate", "--sim-fault", fault, "version"});
    EXPECT_EQ(options.error.empty(), accepted) << fault << ": " << options.error;
  }
}

TEST(Options, HelpListsCommandsAndFaults) {
  const std::string text = UsageText();
  for (const char* expected : {"--simulate", "--port PATH", "version", "switch TASK", "kb90 read FILE",
                               "silence-after=N", "unplug-after=N"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

// One parser reads every command by its row: a made-up row with each kind of flag.
constexpr CliAction kTestActions[] = {{"read", "FILE"}, {"wire", ""}};
constexpr CliFlag kTestFlags[] = {
    {"--twice", "", "read", ""},
    {"--board", "N", "read wire", "wire"},
};
const CliCommand kTestCommand{"chip", kTestActions, kTestFlags, "", "", nullptr};

TEST(CliParser, ReadsWordsByTheRow) {
  struct Case {
    std::vector<std::string> words;
    bool ok;
    std::string error, operand, board;
    bool twice;
  };
  const Case cases[] = {
      {{"read", "a.bin"}, true, "", "a.bin", "", false},
      {{"read", "--twice", "a.bin", "--board", "3"}, true, "", "a.bin", "3", true},
      {{"read", "a.bin", "--board", "1", "--board", "2"}, true, "", "a.bin", "2", false},
      {{"wire", "--board", "7"}, true, "", "", "7", false},
      {{}, false, "", "", "", false},
      {{"erase"}, false, "", "", "", false},
      {{"read"}, false, "", "", "", false},
      {{"read", "a.bin", "b.bin"}, false, "unexpected: b.bin", "", "", false},
      {{"read", "a.bin", "--loud"}, false, "unexpected: --loud", "", "", false},
      {{"wire", "--twice", "--board", "1"}, false, "--twice does not go with wire", "", "", false},
      {{"wire", "--board"}, false, "--board needs a value", "", "", false},
      {{"wire"}, false, "wire needs --board", "", "", false},
      {{"wire", "x"}, false, "unexpected: x", "", "", false},
  };
  for (const Case& c : cases) {
    const CliParse parse = ParseCliWords(kTestCommand, c.words);
    const std::string said = ::testing::PrintToString(c.words);
    EXPECT_EQ(parse.ok, c.ok) << said;
    EXPECT_EQ(parse.error, c.error) << said;
    if (!c.ok) continue;
    EXPECT_EQ(parse.operand, c.operand) << said;
    EXPECT_EQ(parse.options.value("--board"), c.board) << said;
    EXPECT_EQ(parse.options.has("--twice"), c.twice) << said;
  }
  EXPECT_EQ(UsageLines(kTestCommand),
            (std::vector<std::string>{"chip read FILE [--twice] [--board N]", "chip wire --board N"}));
}

// The shared answers are taken before a command's own flags are read, wherever they stand;
// a command's bad usage prints its usage from its row.
TEST(CliParser, SharedAnswersAndUsageFromTheRow) {
  sim::SimD2xx none;
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(none, {"npce", "read", "--yes", "x.bin", "--no-backup"}, false, out, err), kExitFailed)
      << err.str();
  EXPECT_EQ(RunCommand(none, {"npce", "--yes", "x.bin"}, false, out, err), kExitUsage) << "the action comes first";
  err.str("");
  EXPECT_EQ(RunCommand(none, {"kb90", "wiring", "--board", "1"}, false, out, err), kExitUsage);
  EXPECT_EQ(err.str(), "wiring needs --ffc\n"
                       "usage: holbrenik-jig kb90 read FILE [--read-twice]\n"
                       "       holbrenik-jig kb90 write FILE [--yes] [--no-backup]\n"
                       "       holbrenik-jig kb90 boards\n"
                       "       holbrenik-jig kb90 wiring --board N --ffc SIZE [--reversed]\n"
                       "  wiring shows how to wire line N of the base to an FFC of SIZE pins (18 20 24 25 26 28 30 32).\n");
}

// A family's rows agree with each other and with the simulator: the selector's task, the
// profile its window opens with, and the simulated image that carries its firmware.
TEST(Families, TaskProfileCommandAndSimulatedImageAgree) {
  ASSERT_EQ(TaskList().size(), Families().size());
  std::size_t index = 0;
  for (const Family* family : Families()) {
    const std::string name(family->task.itemText);
    EXPECT_EQ(TaskList()[index++].itemText, family->task.itemText);
    EXPECT_EQ(FindTask(TaskList(), family->task.itemText), &TaskList()[index - 1]) << name;
    EXPECT_EQ(family->profile.tag, family->task.tag) << name;
    const sim::SimImage* image = sim::FindSimImage(family->task.tag);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->file, family->task.imageFile) << name;
    EXPECT_NE(family->command.run, nullptr) << name;
    const auto& table = CommandTable();
    EXPECT_EQ(std::count(table.begin(), table.end(), &family->command), 1) << name;
  }
}

int RunWords(D2xx& d2xx, const std::vector<std::string>& words, std::string& out, std::string& err) {
  std::ostringstream o, e;
  const int status = RunCommand(d2xx, words, false, o, e);
  out = o.str();
  err = e.str();
  return status;
}

TEST(VersionCommand, PrintsTheVersionTextAndTellsWhetherItAnswered) {
  std::string out, err;
  {
    sim::SimD2xx d2xx;
    d2xx.attach();
    EXPECT_EQ(RunWords(d2xx, {"version"}, out, err), kExitOk);
    EXPECT_EQ(out, "V41\n");
    EXPECT_EQ(d2xx.openHandles(), 0u);
  }
  {
    sim::SimD2xx none;
    EXPECT_EQ(RunWords(none, {"version"}, out, err), kExitFailed);
    EXPECT_EQ(out, "FTDI device not found\n");
  }
  {
    sim::SimD2xx silent;
    sim::SimOptions options;
    options.faults["no-answer"] = "";
    silent.attach(options);
    EXPECT_EQ(RunWords(silent, {"version"}, out, err), kExitFailed);
    EXPECT_EQ(out, "FTDI found, ERROR answer\n");
    EXPECT_EQ(silent.openHandles(), 0u);
  }
  sim::SimD2xx d2xx;
  EXPECT_EQ(RunWords(d2xx, {"melt"}, out, err), kExitUsage);
  EXPECT_EQ(RunWords(d2xx, {"kb90"}, out, err), kExitUsage);
}

const std::string kProgram = std::string(JIG_BINARY_DIR) + "/holbrenik-jig";

TEST(VersionCommand, EndToEndOverAPseudoTerminal) {
  test::SimProcess sim;
  ASSERT_FALSE(sim.path().empty());
  std::string out;
  EXPECT_EQ(test::RunProgram({kProgram, "--port", sim.path(), "version"}, out), 0);
  EXPECT_EQ(out, "V41\n");
}

// A --port that is no serial port is said so, naming it, and no firmware switch is tried
// (a device that is not the programmer would be sent boot-loader bytes).
TEST(CommandLine, APortThatIsNoSerialPortIsNamedAndNothingIsSwitched) {
  test::TempDir dir;
  test::WriteFileBytes(dir.file("regular"), {1});
  std::filesystem::create_directory(dir.file("folder"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/nonexist", "There is no port \"/dev/nonexist\""},
      {"", "There is no port \"\""},
      {dir.file("regular"), "is not a serial port"},
      {"/dev/null", "\"/dev/null\" is not a serial port"},
      {dir.file("folder"), "is not a serial port"},
      {dir.file("fifo"), "is not a serial port"},
  };
  for (const auto& [port, line] : cases) {
    SCOPED_TRACE(port);
    for (const std::vector<std::string>& command : {std::vector<std::string>{"kb90", "read", dir.file("x.bin")},
                                                    std::vector<std::string>{"version"}}) {
      std::vector<std::string> arguments = {kProgram, "--port", port};
      arguments.insert(arguments.end(), command.begin(), command.end());
      test::BackgroundProgram program(arguments);
      std::string output;
      EXPECT_EQ(program.wait(20000, output), kExitFailed);
      EXPECT_NE(output.find(line), std::string::npos) << output;
      EXPECT_EQ(output.find("PUSH RESET"), std::string::npos) << output;
      EXPECT_EQ(output.find("BOOT_loader"), std::string::npos) << output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
  }
}

TEST(VersionCommand, EndToEndSimulatedAndAbsent) {
  std::string out;
  EXPECT_EQ(test::RunProgram({kProgram, "--simulate", "version"}, out), 0);
  EXPECT_EQ(out, "V41\n");
  out.clear();
  EXPECT_EQ(test::RunProgram({kProgram, "--port", "/dev/no-such-programmer", "version"}, out), 1);
  EXPECT_EQ(out, "FTDI found, ERROR answer\n") << "a port that cannot be opened answers nothing";
  if (!SerialD2xx::FindFtdiPorts("/sys").empty()) GTEST_SKIP() << "an FTDI adapter is attached here";
  out.clear();
  EXPECT_EQ(test::RunProgram({kProgram, "version"}, out), 1);
  EXPECT_EQ(out, "FTDI device not found\n");
}

// scripts/run starts the program in the caller's folder: a relative dump file and state
// folder land there. The programmer starts on the NPCE image, so the read first switches it
// with the stand-in image found only beside the program. The test's own build serves as the
// script's build folder, so nothing is configured or built again.
TEST(CommandLine, RunScriptKeepsTheCallersFolder) {
  test::TempDir here;
  const std::string dump = "run-script-" + std::to_string(::getpid()) + ".bin";
  std::string out;
  const int status = test::RunProgram(
      {"/bin/sh", "-c", "cd \"$1\" && JIG_BUILD_DIR=\"$2\" exec \"$3\" --simulate --sim-image NPCE --sim-state st kb90 read \"$4\" 2>/dev/null",
       "sh", here.path().string(), JIG_BINARY_DIR, std::string(JIG_SOURCE_DIR) + "/scripts/run", dump},
      out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(test::ReadFileBytes(here.file(dump)).size(), 131072u);
  EXPECT_TRUE(std::filesystem::is_directory(here.file("st")));
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(JIG_BINARY_DIR, error))
    EXPECT_NE(entry.path().filename().string(), dump) << "a relative path was taken from the build folder";
}

}  // namespace
}  // namespace jig

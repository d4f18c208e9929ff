// The command line: options, the command table, and the version command against the
// simulator and, end to end, against jig-sim over the termios backend; scripts/run in the
// caller's folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "app/Commands.h"
#include "app/Options.h"
#include "link/SerialD2xx.h"
#include "sim/SimD2xx.h"
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

TEST(Options, HelpListsCommandsAndFaults) {
  const std::string text = UsageText();
  for (const char* expected : {"--simulate", "--port PATH", "version", "switch TASK", "kb90 read FILE",
                               "silence-after=N", "unplug-after=N"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
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

// The "npce" command line against a simulated programmer that keeps its chip in a folder.
#include <gtest/gtest.h>

#include "tests/Npce/NpceBench.h"
#include "tests/support/CliRun.h"

namespace jig::test {
namespace {

CliRun RunJig(const sim::SimOptions& options, std::vector<std::string> words, bool force = false) {
  const ScratchBackupFolder home;  // the command line backs up before a write
  sim::SimD2xx d2xx;  // a new programmer each run: only the state folder links them
  d2xx.attach(options);
  return RunCli(d2xx, words, force);
}

TEST(NpceCli, WriteThenReadGivesThePaddedImageBack) {
  TempDir dir;
  const std::string state = dir.file("state");
  const auto image = Pattern(100000, 21);
  WriteFileBytes(dir.file("F.bin"), image);

  const CliRun write = RunJig(NpceOptions({}, state), {"npce", "write", dir.file("F.bin"), "--yes"});
  EXPECT_EQ(write.status, kExitOk) << write.out << write.err;
  EXPECT_NE(write.out.find("Nuvoton chip is programmed succesfully!\n"), std::string::npos);

  const CliRun read = RunJig(NpceOptions({}, state), {"npce", "read", dir.file("G.bin")});
  EXPECT_EQ(read.status, kExitOk) << read.out << read.err;
  auto padded = image;
  padded.resize(131072, 0xFF);
  EXPECT_EQ(ReadFileBytes(dir.file("G.bin")), padded);

  // An existing file is replaced only with --force; without it the file stays as it was.
  const struct {
    bool force;
    int status;
    std::vector<std::uint8_t> after;
  } existing[] = {{false, kExitFailed, {1, 2, 3}}, {true, kExitOk, padded}};
  for (const auto& c : existing) {
    WriteFileBytes(dir.file("G.bin"), {1, 2, 3});
    const CliRun again = RunJig(NpceOptions({}, state), {"npce", "read", dir.file("G.bin")}, c.force);
    EXPECT_EQ(again.status, c.status) << c.force;
    EXPECT_EQ(again.out.find("Write to file is interrupted.") == std::string::npos, c.force) << again.out;
    EXPECT_EQ(ReadFileBytes(dir.file("G.bin")), c.after) << c.force;
  }
}

TEST(NpceCli, StuckBitFailsTheWrite) {
  TempDir dir;
  auto image = Pattern(131072, 22);
  image[5] = 0x00;
  WriteFileBytes(dir.file("F.bin"), image);
  const CliRun write = RunJig(NpceOptions({{"npce-stuck-bit", "5"}}), {"npce", "write", dir.file("F.bin")});
  EXPECT_EQ(write.status, kExitFailed);
  EXPECT_NE(write.out.find("*** Data is written incorrectly ***\n"), std::string::npos);
}

TEST(NpceCli, BadUsageAndOtherFirmware) {
  sim::SimOptions npce = NpceOptions();
  EXPECT_EQ(RunJig(npce, {"npce", "erase", "x.bin"}).status, kExitUsage);
  EXPECT_EQ(RunJig(npce, {"npce", "read"}).status, kExitUsage);
  sim::SimOptions missing;
  missing.faults["no-answer"] = "";
  const CliRun run = RunJig(missing, {"npce", "read", "x.bin"});
  EXPECT_EQ(run.status, kExitFailed);
}

}  // namespace
}  // namespace jig::test

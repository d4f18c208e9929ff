#include <gtest/gtest.h>

#include "sim/SimD2xx.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::CliRun;
using test::RunCli;

TEST(EdidCli, WriteThenReadGivesThePaddedFileAndPrintsTheDump) {
  test::TempDir dir;
  sim::SimOptions options;
  options.stateDir = dir.file("state");
  sim::SimD2xx d2xx;
  d2xx.attach(options);
  const std::string in = dir.file("F.bin"), out = dir.file("G.bin");
  test::WriteFileBytes(in, test::Bytes("EDID panel image"));

  const CliRun write = RunCli(d2xx, {"edid", "write", in, "--yes"});
  EXPECT_EQ(write.status, kExitOk) << write.out << write.err;
  EXPECT_NE(write.out.find("Writing data to EEPROM is completed successfully."), std::string::npos);

  const CliRun read = RunCli(d2xx, {"edid", "read", out});
  EXPECT_EQ(read.status, kExitOk) << read.out << read.err;
  auto expected = test::Bytes("EDID panel image");
  expected.resize(256, 0xFF);
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  EXPECT_NE(read.out.find(": 45 44 49 44 20 70 61 6E 65 6C 20 69 6D 61 67 65 EDID.panel.image\n"), std::string::npos);

  // An existing output file is kept unless --force says otherwise.
  test::WriteFileBytes(out, {1, 2, 3});
  EXPECT_EQ(RunCli(d2xx, {"edid", "read", out}).status, kExitFailed);
  EXPECT_EQ(test::ReadFileBytes(out), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(RunCli(d2xx, {"edid", "read", out}, true).status, kExitOk);
  EXPECT_EQ(test::ReadFileBytes(out), expected);
  EXPECT_EQ(d2xx.openHandles(), 0u);
}

TEST(EdidCli, FailuresAndBadUsage) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.faults["edid-absent"] = "";
  d2xx.attach(options);
  const CliRun read = RunCli(d2xx, {"edid", "read", dir.file("x.bin")});
  EXPECT_EQ(read.status, kExitFailed);
  EXPECT_NE(read.out.find("EEPROM does not respond, check the connection !!!"), std::string::npos);
  EXPECT_EQ(RunCli(d2xx, {"edid", "erase", "x"}).status, kExitUsage);
  EXPECT_EQ(RunCli(d2xx, {"edid", "read"}).status, kExitUsage);
  sim::SimD2xx nothing;
  EXPECT_EQ(RunCli(nothing, {"edid", "read", dir.file("y.bin")}).status, kExitFailed);
}

}  // namespace
}  // namespace jig

// What an NPCE read says about its dump and the read twice's option on the command line.
// The read twice that every flash window shares is in tests/reliability/ReadTwiceTest.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "tests/support/CliRun.h"
#include "Npce/NpceProtocol.h"
#include "tests/Npce/NpceBench.h"

namespace jig::test {
namespace {

using namespace std::chrono_literals;

const std::string kLooksReal = "Dump check: the content looks like real data.";
const std::string kAdvice = " This usually means a bad contact; do not write this dump back.";
const std::string kMatch = "Read twice: both reads match.";

// Code and tables in the low part, erased flash above: what a real EC image looks like.
std::vector<std::uint8_t> FirmwareLike() {
  std::vector<std::uint8_t> image(npce::kFlashSize, 0xFF);
  std::uint32_t state = 0xC0DE;
  for (std::size_t i = 0; i < 0x16000; ++i) {
    state = state * 1103515245u + 12345u;
    image[i] = static_cast<std::uint8_t>(state >> 16);
  }
  return image;
}

// The host's bytes of one documented read after the version query.
std::vector<std::uint8_t> OneReadWire() { return Cat({Bytes("ZI"), Repeat('r', 256), Bytes("-I")}); }

void Read(NpceBench& bench, const std::string& path, bool twice) {
  bench.ops.job().setReadTwice(twice);
  bench.view.answerDialog(path);
  bench.ops.NPCE_READClick();
}

bool Idle(const NpceBench& bench) { return bench.idle() && bench.view.enabled("ReadTwice") != false; }

TEST(NpceDumpCheck, EachReadEndsWithItsVerdictOnTheDump) {
  struct Case {
    const char* name;
    std::string fill;  // npce-fill; empty: the flash is set directly
    std::vector<std::uint8_t> flash;
    std::string line;
  };
  std::vector<std::uint8_t> pattern16;
  for (std::size_t i = 0; i < npce::kFlashSize; ++i) pattern16.push_back(static_cast<std::uint8_t>(0xA0 ^ (i % 16) * 3));
  const Case cases[] = {
      {"all FFh", "", Repeat(0xFF, npce::kFlashSize), "Warning: the dump is all FFh." + kAdvice},
      {"all 00h by the fault", "00", {}, "Warning: the dump is all 00h." + kAdvice},
      {"16-byte pattern", "", pattern16, "Warning: the dump repeats one 16-byte pattern throughout." + kAdvice},
      {"firmware-like", "", FirmwareLike(), kLooksReal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Faults faults;
    if (!c.fill.empty()) faults["npce-fill"] = c.fill;
    NpceBench bench(faults);
    if (c.fill.empty()) bench.chip().setFlash(c.flash);
    const auto flash = bench.chip().flash();
    const std::string path = bench.dir.file("dump.bin");
    Read(bench, path, false);
    ASSERT_TRUE(bench.view.waitEnded(10s));
    // A suspicious dump is a warning: the read itself succeeded and the dump is kept whole.
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    EXPECT_EQ(bench.view.lastLine(), c.line);
    const auto lines = bench.view.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Reading complete ...");
    EXPECT_EQ(ReadFileBytes(path), flash);
    // Without read twice the wire is the documented read, unchanged.
    EXPECT_EQ(bench.sent(), OneReadWire());
    EXPECT_TRUE(Idle(bench));
  }
}

TEST(NpceDumpCheck, FailedReadGivesNoVerdict) {
  NpceBench bench(Faults{{"npce-end-answer", "0"}});
  Read(bench, bench.dir.file("dump.bin"), false);
  ASSERT_TRUE(bench.view.waitEnded(10s));
  EXPECT_EQ(bench.view.endings(), std::vector<bool>{false});
  EXPECT_FALSE(bench.hasLine(kLooksReal));
  EXPECT_EQ(bench.sent().back(), 'O');
}

CliRun Npce(Faults faults, std::vector<std::string> words) {
  return SimCli(NpceOptions(std::move(faults))).run("npce", std::move(words));
}

TEST(NpceCli, ReadTwiceOption) {
  TempDir dir;
  const CliRun match = Npce({}, {"read", dir.file("a.bin"), "--read-twice"});
  EXPECT_EQ(match.status, kExitOk) << match.out << match.err;
  EXPECT_NE(match.out.find(kMatch + "\n" + kLooksReal + "\n"), std::string::npos) << match.out;
  EXPECT_EQ(ReadFileBytes(dir.file("a.bin")).size(), npce::kFlashSize);

  const CliRun differ = Npce({{"npce-unstable-first-block", ""}}, {"read", "--read-twice", dir.file("b.bin")});
  EXPECT_EQ(differ.status, kExitFailed);
  EXPECT_NE(differ.out.find("The file is not written.\n"), std::string::npos) << differ.out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("b.bin")));

  const CliRun flagged = Npce({{"npce-fill", "00"}}, {"read", dir.file("c.bin")});
  EXPECT_EQ(flagged.status, kExitOk);
  EXPECT_NE(flagged.out.find("Warning: the dump is all 00h." + kAdvice + "\n"), std::string::npos) << flagged.out;

  EXPECT_EQ(Npce({}, {"write", dir.file("a.bin"), "--read-twice"}).status, kExitUsage);
  EXPECT_EQ(Npce({}, {"read", dir.file("d.bin"), "--twice"}).status, kExitUsage);
}

}  // namespace
}  // namespace jig::test

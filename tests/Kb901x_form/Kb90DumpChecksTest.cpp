// What a KB90xx read says about its dump, the read twice's own cases and its option on the
// command line. The read twice that every flash window shares is in
// tests/reliability/ReadTwiceTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "tests/support/CliRun.h"
#include "tests/Kb901x_form/Kb90Bench.h"

namespace jig {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
constexpr std::size_t kImage = 131072;

const std::string kLooksReal = "Dump check: the content looks like real data.";
const std::string kAdvice = " This usually means a bad contact; do not write this dump back.";
const std::string kMatch = "Read twice: both reads match.";

// Code and tables in the low part, erased flash above: what a real EC image looks like.
Bytes FirmwareLike() {
  Bytes image(kImage, 0xFF);
  std::uint32_t state = 0x5EED;
  for (std::size_t i = 0; i < 0x15000; ++i) {
    state = state * 1103515245u + 12345u;
    image[i] = static_cast<std::uint8_t>(state >> 16);
  }
  return image;
}

struct Bench : test::Kb90Bench {
  explicit Bench(sim::SimOptions options = {}) : Kb90Bench(std::move(options)), ops(d2xx, view, test::Kb90ShortBounds()) {}
  void read(bool twice) {
    ops.job().setReadTwice(twice);
    view.answerDialog(file);
    ops.KB901X_READClick();
  }
  void expectIdleAndClosed() {
    EXPECT_EQ(ops.mode(), Kb90Mode::None);
    EXPECT_EQ(d2xx.openHandles(), 0u);
    for (const char* control : {"KB901X_READ", "KB901X_WRITE", "EXIT_KB901X", "ReadTwice"})
      EXPECT_NE(view.enabled(control), false) << control;
    EXPECT_EQ(view.endings().size(), 1u);
  }

  Kb90Operations ops;
  std::string file = dir.file("dump.bin");
};

Bytes OneReadWire() { return test::Kb90ReadWire(); }

TEST(Kb901xDumpCheck, EachReadEndsWithItsVerdictOnTheDump) {
  struct Case {
    const char* name;
    std::string fill;  // kb90-fill; empty: the flash is set directly
    Bytes flash;
    std::string line;
  };
  Bytes pattern16;
  for (std::size_t i = 0; i < kImage; ++i) pattern16.push_back(static_cast<std::uint8_t>(0x30 + (i % 16) * 7));
  const Case cases[] = {
      {"all FFh", "FF", {}, "Warning: the dump is all FFh." + kAdvice},
      {"all 00h", "", Bytes(kImage, 0x00), "Warning: the dump is all 00h." + kAdvice},
      {"16-byte pattern", "", pattern16, "Warning: the dump repeats one 16-byte pattern throughout." + kAdvice},
      {"16-byte pattern by the fault", "0123456789ABCDEF0011223344556677", {},
       "Warning: the dump repeats one 16-byte pattern throughout." + kAdvice},
      {"firmware-like", "", FirmwareLike(), kLooksReal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimOptions options;
    if (!c.fill.empty()) options.faults["kb90-fill"] = c.fill;
    Bench bench(options);
    if (c.fill.empty()) bench.chip().setFlash(c.flash);
    const Bytes flash = bench.chip().flash();
    bench.read(false);
    ASSERT_TRUE(bench.view.waitEnded(10s));
    // A suspicious dump is a warning: the read itself succeeded and the dump is kept whole.
    EXPECT_EQ(bench.view.endings(), std::vector<bool>{true});
    EXPECT_EQ(bench.view.lastLine(), c.line);
    const auto lines = bench.view.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("Warning: ") || l.starts_with("Dump check: "); }),
              1);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Reading completed successfully.");
    EXPECT_EQ(test::ReadFileBytes(bench.file), flash);
    // Without read twice the wire is the documented read, unchanged.
    EXPECT_EQ(bench.programmer.hostBytes(), OneReadWire());
    bench.expectIdleAndClosed();
  }
}

TEST(Kb901xReadTwice, FolderThatCannotTakeTheFileIsToldBeforeReading) {
  Bench bench;
  bench.file = bench.dir.file("missing/dump.bin");
  bench.read(true);
  ASSERT_TRUE(bench.view.waitEnded(5s));
  EXPECT_EQ(bench.view.errorBoxes(), std::vector<std::string>{"Ошибка создания файла."});
  EXPECT_EQ(bench.programmer.hostBytes(), (Bytes{'B', 'V'}));
  bench.expectIdleAndClosed();
}

using test::CliRun;

CliRun Kb90(test::Faults faults, std::vector<std::string> words) {
  return test::SimCli(test::Options("", std::move(faults))).run("kb90", std::move(words));
}

TEST(Kb901xCli, ReadTwiceOption) {
  test::TempDir dir;
  const CliRun match = Kb90({}, {"read", dir.file("a.bin"), "--read-twice"});
  EXPECT_EQ(match.status, kExitOk) << match.out << match.err;
  EXPECT_NE(match.out.find(kMatch + "\n" + kLooksReal + "\n"), std::string::npos) << match.out;
  EXPECT_EQ(test::ReadFileBytes(dir.file("a.bin")).size(), kImage);

  const CliRun differ = Kb90({{"kb90-unstable-first-block", ""}}, {"read", "--read-twice", dir.file("b.bin")});
  EXPECT_EQ(differ.status, kExitFailed);
  EXPECT_NE(differ.out.find("The file is not written.\n"), std::string::npos) << differ.out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("b.bin")));

  const CliRun flagged = Kb90({{"kb90-fill", "FF"}}, {"read", dir.file("c.bin")});
  EXPECT_EQ(flagged.status, kExitOk);
  EXPECT_NE(flagged.out.find("Warning: the dump is all FFh." + kAdvice + "\n"), std::string::npos) << flagged.out;

  EXPECT_EQ(Kb90({}, {"write", dir.file("a.bin"), "--read-twice"}).status, kExitUsage);
  EXPECT_EQ(Kb90({}, {"read", dir.file("d.bin"), "--twice"}).status, kExitUsage);
}

}  // namespace
}  // namespace jig

// "compare A B": the ranges it lists, the summary it ends with, its exit status, and the
// files it refuses to read (naming them, on standard error, status 2).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/ConsoleView.h"
#include "files/ComparedDump.h"
#include "files/DumpCompareTexts.h"
#include "sim/SimD2xx.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafetyCases.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using Image = std::vector<std::uint8_t>;

Image Changed(Image image, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i) image[i] = static_cast<std::uint8_t>(~image[i]);
  return image;
}

// Every other 16-byte row of a 4 KiB dump changed in one byte: 128 ranges.
Image EveryOtherRow() {
  Image image = test::Pattern(4096, 1);
  for (std::size_t row = 0; row < 256; row += 2) image[row * 16 + 5] ^= 0xFF;
  return image;
}

struct CompareCase {
  std::string name;
  Image a, b;
  int status;
  std::string out;
};

std::vector<CompareCase> CompareCases() {
  const Image dump = test::Pattern(512, 1);
  return {
      {"identical", dump, dump, kExitOk, "The two dumps are identical, 512 bytes each.\n"},
      {"two ranges", dump, Changed(Changed(dump, 0x10, 4), 0x1FF, 1), kExitFailed,
       "0x00000010-0x00000013  4 bytes\n"
       "0x000001FF-0x000001FF  1 byte\n"
       "2 ranges differ, 5 bytes in all, the first at 0x00000010.\n"},
      {"second one block short", dump, Image(dump.begin(), dump.end() - 256), kExitFailed,
       "0x00000100-0x000001FF  256 bytes\n"
       "1 range differs, 256 bytes in all, the first at 0x00000100; the sizes differ: 512 and 256 bytes.\n"},
      {"one byte", Image{0x41}, Image{0x42}, kExitFailed,
       "0x00000000-0x00000000  1 byte\n1 range differs, 1 byte in all, the first at 0x00000000.\n"},
  };
}

struct CompareRun {
  test::TempDir dir;
  sim::SimD2xx noProgrammer;
  test::CliRun run(const std::vector<std::string>& words) {
    return test::RunCli(noProgrammer, test::CommandWords("compare", words));
  }
  test::CliRun compare(const Image& a, const Image& b) {
    test::WriteFileBytes(dir.file("a.bin"), a);
    test::WriteFileBytes(dir.file("b.bin"), b);
    return run({dir.file("a.bin"), dir.file("b.bin")});
  }
};

class CompareCommand : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareCommand, ListsTheRangesThenTheSummary) {
  const CompareCase& c = GetParam();
  CompareRun bench;
  const test::CliRun run = bench.compare(c.a, c.b);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, "");
  // Neither file is touched.
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("a.bin")), c.a);
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("b.bin")), c.b);
}

INSTANTIATE_TEST_SUITE_P(Dumps, CompareCommand, ::testing::ValuesIn(CompareCases()), test::CaseName<CompareCase>);

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CompareCommandList, StopsAtItsCapAndSaysHowManyMoreThereAre) {
  CompareRun bench;
  const test::CliRun run = bench.compare(test::Pattern(4096, 1), EveryOtherRow());
  EXPECT_EQ(run.status, kExitFailed);
  const auto lines = Lines(run.out);
  static_assert(kMaxListedRanges == 100, "the lines checked below are those of a 100-range list");
  ASSERT_EQ(lines.size(), kMaxListedRanges + 2);
  EXPECT_EQ(lines.front(), "0x00000005-0x00000005  1 byte");
  EXPECT_EQ(lines[kMaxListedRanges - 1], "0x00000C65-0x00000C65  1 byte");
  EXPECT_EQ(lines[kMaxListedRanges], "... 28 more ranges");
  EXPECT_EQ(lines.back(), "128 ranges differ, 128 bytes in all, the first at 0x00000005.");
}

TEST(CompareCommandUsage, WantsBothFilesAndNoMore) {
  CompareRun bench;
  const std::string usage = "usage: holbrenik-jig compare A B\n";
  test::CliRun run = bench.run({});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, usage);
  run = bench.run({"a.bin"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, usage);
  run = bench.run({"a.bin", "b.bin", "c.bin"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, "unexpected: c.bin\n" + usage);
  run = bench.run({"a.bin", "b.bin", "--board", "1"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, "unexpected: --board\n" + usage);
  EXPECT_EQ(run.out, "");
}

TEST(CompareCommandUsage, TakesAFileThatBeginsWithADashAfterTheEndOfOptions) {
  CompareRun bench;
  const Image dump = test::Pattern(64, 1);
  test::WriteFileBytes(bench.dir.file("-odd.bin"), dump);
  test::WriteFileBytes(bench.dir.file("b.bin"), dump);
  const std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(bench.dir.path());
  const test::CliRun run = bench.run({"--", "-odd.bin", "b.bin"});
  std::filesystem::current_path(here);
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out, "The two dumps are identical, 64 bytes each.\n");
}

// A file the comparison cannot read: named with the reason, nothing on standard output.
struct Unreadable {
  std::string name;
  std::function<std::string(const test::TempDir&)> make;
  std::string why;
  std::optional<std::size_t> readFaultAfter;
};

std::vector<Unreadable> UnreadableFiles() {
  std::vector<Unreadable> rows{
      {"missing", [](const test::TempDir& d) { return d.file("missing.bin"); },
       " cannot be opened (No such file or directory).", {}},
      {"larger than any flash",
       [](const test::TempDir& d) {
         test::WriteFileBytes(d.file("huge.bin"), {0});
         std::filesystem::resize_file(d.file("huge.bin"), kMaxComparedDumpSize + 1);  // sparse: costs no disk
         return d.file("huge.bin");
       },
       " is larger than " + std::to_string(kMaxComparedDumpSize) + " bytes.", {}}};
  // The files a write refuses, but for the one sized by a chip (the row above stands for it).
  for (const test::BadSource& bad : test::BadSources(512))
    if (bad.refusal.problem != SourceProblem::TooLarge) rows.push_back({bad.name, bad.make, bad.why, bad.readFaultAfter});
  return rows;
}

class CompareCommandRefuses : public ::testing::TestWithParam<Unreadable> {};

TEST_P(CompareCommandRefuses, NamesTheFileAndSaysWhy) {
  const Unreadable& row = GetParam();
  test::CleanFileFaults clean;
  CompareRun bench;
  // Shorter than where an injected read fault strikes, so that only the bad file meets it.
  test::WriteFileBytes(bench.dir.file("good.bin"), test::Pattern(64, 1));
  const std::string bad = row.make(bench.dir);
  for (const bool badFirst : {true, false}) {
    if (row.readFaultAfter) InjectSourceReadFault(row.readFaultAfter);
    const test::CliRun run =
        badFirst ? bench.run({bad, bench.dir.file("good.bin")}) : bench.run({bench.dir.file("good.bin"), bad});
    InjectSourceReadFault(std::nullopt);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with(bad + row.why)) << run.err;
    EXPECT_TRUE(run.err.ends_with("\n")) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CompareCommandRefuses, ::testing::ValuesIn(UnreadableFiles()), test::CaseName<Unreadable>);

TEST(CompareCommandRefusesBoth, NamesEachFile) {
  CompareRun bench;
  const test::CliRun run = bench.run({bench.dir.file("x.bin"), bench.dir.file("y.bin")});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.err, bench.dir.file("x.bin") + " cannot be opened (No such file or directory).\n" +
                         bench.dir.file("y.bin") + " cannot be opened (No such file or directory).\n");
}

}  // namespace
}  // namespace jig

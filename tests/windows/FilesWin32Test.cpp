// The file layer on Windows: names in Cyrillic, bytes kept as they are (no CR LF
// translation), a dump that replaces an old file in one step and is held without sharing
// while it is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/DumpSink.h"
#include "files/PlatformFiles.h"
#include "files/SourceFile.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Line ends and a lone CR, which a text-mode file would change.
const std::vector<std::uint8_t> kBytes = {'\r', '\n', 0x00, '\n', 0x1A, '\r', 0xFF, '\n', '\n'};

// The UTF-8 name as Windows stores it (UTF-16), for a check that does not go through our layer.
fs::path WidePath(const TempDir& dir, const std::u8string& name) { return dir.path() / fs::path(name); }

std::string Utf8Path(const TempDir& dir, const std::u8string& name) {
  return dir.path().string() + "\\" + std::string(name.begin(), name.end());
}

struct NameCase {
  const char* what;
  std::u8string name;
};

class DumpNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(DumpNames, ADumpIsStoredUnderItsNameAndReadBackByteForByte) {
  TempDir dir;
  const std::string path = Utf8Path(dir, GetParam().name);
  auto sink = DumpSink::Create(path);
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(kBytes));
  ASSERT_TRUE(sink->commit());

  EXPECT_TRUE(fs::is_regular_file(WidePath(dir, GetParam().name)));
  EXPECT_EQ(fs::file_size(WidePath(dir, GetParam().name)), kBytes.size());
  EXPECT_TRUE(PathTaken(path));
  const SourceFile source = ReadSourceFile(path, 1024);
  ASSERT_TRUE(source.ok());
  EXPECT_EQ(source.bytes, kBytes);
  // Only the dump itself is left: no temporary file beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Names, DumpNames,
                         ::testing::Values(NameCase{"Latin", u8"kb9012.bin"},
                                           NameCase{"Cyrillic", u8"дамп КБ9012 — плата №3.bin"}),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(DumpSinkWin32, ACommittedDumpReplacesTheOldFileAndAnAbandonedOneLeavesItAlone) {
  TempDir dir;
  const std::string path = Utf8Path(dir, u8"старый.bin");
  std::ofstream(WidePath(dir, u8"старый.bin"), std::ios::binary) << "\x01\x02\x03";
  {
    auto abandoned = DumpSink::Create(path);
    ASSERT_TRUE(abandoned);
    ASSERT_TRUE(abandoned->write(kBytes));
  }  // not committed
  EXPECT_EQ(ReadSourceFile(path, 1024).bytes, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  auto sink = DumpSink::Create(path);
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(kBytes));
  ASSERT_TRUE(sink->commit());
  EXPECT_EQ(ReadSourceFile(path, 1024).bytes, kBytes);
}

TEST(DumpSinkWin32, ADumpBeingWrittenCannotBeOpenedByAnotherHolder) {
  TempDir dir;
  const std::string path = Utf8Path(dir, u8"занят.bin");
  auto sink = DumpSink::Create(path);
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(kBytes));
  // The only file in the folder is the dump still being written, under its temporary name.
  const auto entries = std::vector<fs::directory_entry>(fs::directory_iterator(dir.path()), fs::directory_iterator());
  ASSERT_EQ(entries.size(), 1u);
  const std::u8string held = entries.front().path().u8string();
  const std::string heldPath(held.begin(), held.end());
  EXPECT_LT(platform::OpenSource(heldPath), 0);
  EXPECT_EQ(ReadSourceFile(heldPath, 1024).problem, SourceProblem::CannotOpen);
  EXPECT_LT(platform::CreateNew(heldPath), 0);

  // Let go of (committed), the dump opens for anyone.
  ASSERT_TRUE(sink->commit());
  const int reader = platform::OpenSource(path);
  ASSERT_GE(reader, 0);
  std::vector<std::uint8_t> back(kBytes.size() + 4);
  EXPECT_EQ(platform::ReadSome(reader, back.data(), back.size()), static_cast<long>(kBytes.size()));
  EXPECT_TRUE(platform::CloseFile(reader));
  back.resize(kBytes.size());
  EXPECT_EQ(back, kBytes);
}

TEST(SourceFileWin32, AFolderAndAMissingFileAreRefusedBeforeAnythingIsRead) {
  TempDir dir;
  EXPECT_EQ(ReadSourceFile(Utf8Path(dir, u8"нет.bin"), 1024).problem, SourceProblem::CannotOpen);
  fs::create_directory(WidePath(dir, u8"папка"));
  EXPECT_NE(ReadSourceFile(Utf8Path(dir, u8"папка"), 1024).problem, SourceProblem::None);
}

}  // namespace
}  // namespace jig

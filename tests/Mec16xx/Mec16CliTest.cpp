// The "mec16" command line, one simulated programmer per run as separate processes would
// have, sharing the chip through the state folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/Commands.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"

namespace jig::test {
namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Mec16(const std::string& stateDir, std::vector<std::string> words, std::map<std::string, std::string> faults = {}) {
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.image = "V42";
  options.stateDir = stateDir;
  options.faults = std::move(faults);
  d2xx.attach(options);
  words.insert(words.begin(), "mec16");
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, words, false, out, err);
  return {status, out.str(), err.str()};
}

std::vector<std::uint8_t> Source(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
  return bytes;
}

TEST(Mec16Cli, EraseWriteReadLeavesTheFileAndWriteWithoutEraseDoesNot) {
  TempDir dir;
  const std::string state = dir.file("state");
  const auto f = Source(196608);
  WriteFileBytes(dir.file("f.bin"), f);

  EXPECT_EQ(Mec16(state, {"erase"}).status, 0);
  const CliRun write = Mec16(state, {"write", dir.file("f.bin")});
  EXPECT_EQ(write.status, 0) << write.out;
  EXPECT_NE(write.out.find("Запись MAIN блока завершена успешно.\n"), std::string::npos);
  EXPECT_TRUE(write.out.ends_with("Проверка после записи: OK, флеш совпадает с образом.\n")) << write.out;
  const CliRun read = Mec16(state, {"read", dir.file("g.bin")});
  EXPECT_EQ(read.status, 0) << read.out;
  EXPECT_EQ(ReadFileBytes(dir.file("g.bin")), f);

  // A second image over the first without an erase: the NOR array only loses bits, and
  // the verify says so.
  auto f2 = f;
  for (auto& byte : f2) byte = static_cast<std::uint8_t>(~byte);
  WriteFileBytes(dir.file("f2.bin"), f2);
  const CliRun over = Mec16(state, {"write", dir.file("f2.bin")});
  EXPECT_EQ(over.status, 1);
  EXPECT_NE(over.out.find("Запись MAIN блока завершена успешно.\n"), std::string::npos);
  // The array holds f & ~f = 0: every byte of f2 that is not 00h differs.
  const auto differing = std::count_if(f2.begin(), f2.end(), [](std::uint8_t b) { return b != 0; });
  EXPECT_NE(over.out.find("Проверка после записи: ОШИБКА, первое отличие по адресу 00000000, различных байт: " +
                          std::to_string(differing) + ".\n"),
            std::string::npos)
      << over.out;
  EXPECT_EQ(Mec16(state, {"read", dir.file("h.bin")}).status, 0);
  const auto h = ReadFileBytes(dir.file("h.bin"));
  ASSERT_EQ(h.size(), f2.size());
  EXPECT_NE(h, f2);
  EXPECT_EQ(h, std::vector<std::uint8_t>(h.size(), 0x00));

  // An existing file is not replaced without --force.
  const CliRun again = Mec16(state, {"read", dir.file("h.bin")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("Операция чтения прервана"), std::string::npos);
}

TEST(Mec16Cli, ExitStatusFollowsTheOperationAndUsage) {
  TempDir dir;
  EXPECT_EQ(Mec16("", {"probe"}).status, 0);
  const CliRun locked = Mec16("", {"erase", "--info"}, {{"mec16-boot-lock", ""}});
  EXPECT_EQ(locked.status, 1);
  EXPECT_NE(locked.out.find("--> Каманда стирания отменена.\n"), std::string::npos);
  const CliRun info = Mec16("", {"read", dir.file("i.bin"), "--info"});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("i.bin")).size(), 198656u);
  const CliRun help = Mec16("", {"help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(std::count(help.out.begin(), help.out.end(), '\n'), 16);
  EXPECT_EQ(Mec16("", {"read"}).status, 2);
  EXPECT_EQ(Mec16("", {"write", "a", "b"}).status, 2);
  EXPECT_EQ(Mec16("", {"write", "a", "--info"}).status, 2);
  EXPECT_EQ(Mec16("", {"flash"}).status, 2);
  EXPECT_EQ(Mec16("", {"write", "a", "--read-twice"}).status, 2);
  EXPECT_EQ(Mec16("", {"read", "a", "--no-verify"}).status, 2);
  EXPECT_EQ(Mec16("", {"erase", "--no-verify"}).status, 2);
}

TEST(Mec16Cli, VerifyIsOnUnlessTurnedOffAndAFailedOneExitsOne) {
  TempDir dir;
  const std::string state = dir.file("state");
  const auto f = Source(196608);
  WriteFileBytes(dir.file("f.bin"), f);

  ASSERT_EQ(Mec16(state, {"erase"}).status, 0);
  const CliRun flipped = Mec16(state, {"write", dir.file("f.bin")}, {{"mec16-flip-bit", "2FFFF"}});
  EXPECT_EQ(flipped.status, 1);
  EXPECT_TRUE(flipped.out.ends_with("Проверка после записи: ОШИБКА, первое отличие по адресу 0002FFFF, "
                                    "различных байт: 1.\n"))
      << flipped.out;

  ASSERT_EQ(Mec16(state, {"erase"}).status, 0);
  const CliRun unverified = Mec16(state, {"write", dir.file("f.bin"), "--no-verify"}, {{"mec16-flip-bit", "2FFFF"}});
  EXPECT_EQ(unverified.status, 0);
  EXPECT_EQ(unverified.out.find("Проверка после записи"), std::string::npos);
  EXPECT_EQ(unverified.out.find("Начали чтение MEC16 main block ..."), std::string::npos);
}

TEST(Mec16Cli, ReadTwiceWritesOnlyAMatchingPair) {
  TempDir dir;
  const CliRun differ = Mec16("", {"read", dir.file("a.bin"), "--read-twice"}, {{"mec16-unstable-first-block", ""}});
  EXPECT_EQ(differ.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.bin")));
  EXPECT_TRUE(differ.out.ends_with("Файл не записан.\n")) << differ.out;

  const CliRun match = Mec16("", {"read", dir.file("b.bin"), "--info", "--read-twice"});
  EXPECT_EQ(match.status, 0) << match.out;
  EXPECT_EQ(ReadFileBytes(dir.file("b.bin")).size(), 198656u);
  EXPECT_TRUE(match.out.ends_with("Двойное чтение: оба чтения совпадают.\n")) << match.out;
  EXPECT_NE(match.out.find("Проверка дампа: содержимое похоже на настоящие данные.\n"), std::string::npos);

  // Without it the same unstable chip gives one read and a file.
  const CliRun once = Mec16("", {"read", dir.file("c.bin")}, {{"mec16-unstable-first-block", ""}});
  EXPECT_EQ(once.status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("c.bin")).size(), 196608u);
}

}  // namespace
}  // namespace jig::test

// The "mec16" command line, one simulated programmer per run as separate processes would
// have, sharing the chip through the state folder.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "Mec16xx/Mec16Family.h"
#include "app/Commands.h"
#include "cli/CliCommand.h"
#include "job/FlashJob.h"
#include "tests/support/CliRun.h"
#include "files/Backups.h"
#include "cli/CliInterrupt.h"
#include "Mec16xx/Mec16Protocol.h"
#include "sim/Mec16Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/TestFiles.h"

namespace jig::test {
namespace {

struct Mec16Run : CliRun {
  std::vector<std::string> backups;  // saved before a write
};

// One run of the command; onBlock sees each streamed read block as the chip sends it.
Mec16Run Mec16(const std::string& stateDir, std::vector<std::string> words, std::map<std::string, std::string> faults = {},
             std::function<void(int)> onBlock = {}) {
  ScratchBackupFolder backups;
  sim::SimOptions options;
  options.image = "V42";
  options.stateDir = stateDir;
  options.faults = std::move(faults);
  SimCli cli(std::move(options));
  if (onBlock) dynamic_cast<sim::Mec16Sim&>(*cli.programmer.commandSet("MEC16")).setBlockHook(std::move(onBlock));
  const bool force = std::erase(words, std::string("--force")) != 0;
  ResetInterrupts();
  CliRun run = cli.run("mec16", std::move(words), force);
  ResetInterrupts();
  return {std::move(run), backups.files()};
}

std::vector<std::uint8_t> Source(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
  return bytes;
}

TEST(Mec16Cli, EraseWriteReadLeavesTheFileAndAWriteOverItNeedsErase) {
  TempDir dir;
  const std::string state = dir.file("state");
  const auto f = Source(196608);
  WriteFileBytes(dir.file("f.bin"), f);

  EXPECT_EQ(Mec16(state, {"erase", "--yes"}).status, 0);
  const CliRun write = Mec16(state, {"write", dir.file("f.bin")});
  EXPECT_EQ(write.status, 0) << write.out;
  EXPECT_NE(write.out.find("Запись MAIN блока завершена успешно.\n"), std::string::npos);
  EXPECT_TRUE(write.out.ends_with("Проверка после записи: OK, флеш совпадает с образом.\n")) << write.out;
  const CliRun read = Mec16(state, {"read", dir.file("g.bin")});
  EXPECT_EQ(read.status, 0) << read.out;
  EXPECT_EQ(ReadFileBytes(dir.file("g.bin")), f);

  // A second image over the first: the NOR array only loses bits, so without --erase the
  // write is refused in one line, before any page; with it, erased after the backup and written.
  auto f2 = f;
  for (auto& byte : f2) byte = static_cast<std::uint8_t>(~byte);
  WriteFileBytes(dir.file("f2.bin"), f2);
  const Mec16Run over = Mec16(state, {"write", dir.file("f2.bin")});
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(over.out.find("Начали запись MEC16"), std::string::npos) << over.out;
  EXPECT_NE(over.out.find("\n" + DefaultFlashTexts(LogLanguage::Russian).eraseFirstRefused + "\n"), std::string::npos)
      << over.out;
  EXPECT_EQ(over.backups.size(), 1u);
  EXPECT_EQ(Mec16(state, {"read", dir.file("h.bin")}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("h.bin")), f);

  const CliRun erased = Mec16(state, {"write", dir.file("f2.bin"), "--erase"});
  EXPECT_EQ(erased.status, 0) << erased.out;
  const std::size_t erase = erased.out.find("Стирание завершено успешно.\n");
  EXPECT_NE(erase, std::string::npos);
  EXPECT_LT(erase, erased.out.find("Начали запись MEC16"));
  EXPECT_TRUE(erased.out.ends_with("Проверка после записи: OK, флеш совпадает с образом.\n")) << erased.out;
  EXPECT_EQ(Mec16(state, {"read", dir.file("h2.bin")}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("h2.bin")), f2);

  // An existing file is not replaced without --force.
  const CliRun again = Mec16(state, {"read", dir.file("h.bin")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("Операция чтения прервана"), std::string::npos);
}

TEST(Mec16Cli, ExitStatusFollowsTheOperationAndUsage) {
  TempDir dir;
  EXPECT_EQ(Mec16("", {"probe"}).status, 0);
  const CliRun locked = Mec16("", {"erase", "--info", "--yes"}, {{"mec16-boot-lock", ""}});
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
  // --erase belongs to the write alone.
  EXPECT_EQ(Mec16("", {"erase", "--erase"}).status, 2);
  EXPECT_EQ(Mec16("", {"read", "a", "--erase"}).status, 2);
  const std::vector<std::string> usage = UsageLines(Mec16Family().command);
  EXPECT_NE(std::find(usage.begin(), usage.end(), "mec16 write FILE [--no-verify] [--yes] [--no-backup] [--erase]"),
            usage.end());
}

TEST(Mec16Cli, VerifyIsOnUnlessTurnedOffAndAFailedOneExitsOne) {
  TempDir dir;
  const std::string state = dir.file("state");
  const auto f = Source(196608);
  WriteFileBytes(dir.file("f.bin"), f);

  ASSERT_EQ(Mec16(state, {"erase", "--yes"}).status, 0);
  const CliRun flipped = Mec16(state, {"write", dir.file("f.bin")}, {{"mec16-flip-bit", "2FFFF"}});
  EXPECT_EQ(flipped.status, 1);
  EXPECT_TRUE(flipped.out.ends_with("Проверка после записи: ОШИБКА, первое отличие по адресу 0002FFFF, "
                                    "различных байт: 1.\n"))
      << flipped.out;

  ASSERT_EQ(Mec16(state, {"erase", "--yes"}).status, 0);
  const CliRun unverified = Mec16(state, {"write", dir.file("f.bin"), "--no-verify"}, {{"mec16-flip-bit", "2FFFF"}});
  EXPECT_EQ(unverified.status, 0);
  EXPECT_EQ(unverified.out.find("Проверка после записи"), std::string::npos);
  // The backup's read comes before the write; nothing is read after it.
  EXPECT_EQ(unverified.out.find("Начали чтение MEC16 main block ...", unverified.out.find("Начали запись MEC16")),
            std::string::npos);
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

TEST(Mec16Cli, ShortImageNeedsYesAndTheBackupIsOnUnlessTurnedOff) {
  TempDir dir;
  const std::string state = dir.file("state");
  WriteFileBytes(dir.file("short.bin"), Source(1024));
  ASSERT_EQ(Mec16(state, {"erase", "--yes"}).status, 0);

  const Mec16Run asked = Mec16(state, {"write", dir.file("short.bin")});
  EXPECT_EQ(asked.status, 1);
  EXPECT_NE(asked.err.find(dir.file("short.bin")), std::string::npos) << asked.err;
  EXPECT_TRUE(asked.err.ends_with(" No\n")) << asked.err;
  EXPECT_NE(asked.out.find("Запись отменена; микросхема не тронута.\n"), std::string::npos);
  EXPECT_EQ(asked.out.find("Начали"), std::string::npos);
  EXPECT_TRUE(asked.backups.empty());

  const Mec16Run yes = Mec16(state, {"write", dir.file("short.bin"), "--yes"});
  EXPECT_EQ(yes.status, 0) << yes.out << yes.err;
  ASSERT_EQ(yes.backups.size(), 1u);
  EXPECT_NE(yes.out.find("Копия микросхемы: " + yes.backups[0] + " SHA-256 "), std::string::npos) << yes.out;
  EXPECT_NE(yes.out.find("-> Записываемый файл короче!\n"), std::string::npos);

  // The same pages again are not blank: --erase, and without a backup MAIN is still read first.
  const Mec16Run noBackup = Mec16(state, {"write", dir.file("short.bin"), "--yes", "--no-backup", "--erase"});
  EXPECT_EQ(noBackup.status, 0);
  EXPECT_NE(noBackup.out.find(DefaultFlashTexts(LogLanguage::Russian).blankCheckStarts), std::string::npos);
  EXPECT_TRUE(noBackup.backups.empty());
  EXPECT_EQ(noBackup.out.find(BackupStartLine(LogLanguage::Russian)), std::string::npos);
}

TEST(Mec16Cli, CtrlCStopsAReadAtOnceAndAWriteOnlyAtTheSecond) {
  // Slow blocks: the command looks at the signals every 50 ms, long before a read ends.
  const std::map<std::string, std::string> slow = {{"mec16-slow-blocks", "3000"}};
  // Ctrl-C as the chip sends the given blocks, counted over the whole run (every read).
  auto signalAt = [](std::vector<int> blocks) {
    return [blocks, sent = 0](int) mutable {
      ++sent;
      for (const int at : blocks)
        if (sent == at) NoteInterrupt(SIGINT);
    };
  };
  TempDir dir;
  const std::string state = dir.file("state");
  ASSERT_EQ(Mec16(state, {"erase", "--yes"}).status, 0);
  const auto image = Source(196608);
  WriteFileBytes(dir.file("f.bin"), image);
  WriteFileBytes(dir.file("old.bin"), {1, 2, 3});

  const CliRun read = Mec16(state, {"read", dir.file("old.bin"), "--force"}, slow, signalAt({5}));
  EXPECT_EQ(read.status, 130);
  EXPECT_NE(read.out.find("Пользователь прервал операцию чтения.\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.file("old.bin")), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(TemporaryDumps(dir.path()).empty());

  // Two during the backup's read: the write never starts.
  const CliRun twice = Mec16(state, {"write", dir.file("f.bin")}, slow, signalAt({5, 6}));
  EXPECT_EQ(twice.status, 130);
  EXPECT_NE(twice.out.find(BackupReadFailedLine(LogLanguage::Russian)), std::string::npos) << twice.out;
  EXPECT_EQ(twice.out.find("Начали запись MEC16"), std::string::npos);

  // One during the backup's read: the chip is not touched yet, so the whole write is called
  // off at once, and the chip keeps what it held.
  const CliRun early = Mec16(state, {"write", dir.file("f.bin")}, slow, signalAt({5}));
  EXPECT_EQ(early.status, 130);
  // In the language of the task's log, as every line around it.
  EXPECT_NE(early.err.find("Остановка до начала работы с микросхемой: запись отменена, в микросхеме остаётся "
                           "прежнее содержимое.\n"),
            std::string::npos)
      << early.err;
  EXPECT_EQ(early.err.find("Ctrl-C"), std::string::npos) << early.err;
  EXPECT_EQ(early.out.find("Начали запись MEC16"), std::string::npos);
  EXPECT_EQ(Mec16(state, {"read", dir.file("erased.bin")}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("erased.bin")), std::vector<std::uint8_t>(196608, 0xFF));

  // One once the chip is written (in the verify's read): a warning, the write and its verify
  // go on to the end, and the status is the write's own.
  const CliRun once = Mec16(state, {"write", dir.file("f.bin")}, slow, signalAt({mec16::kMainBlocks + 5}));
  EXPECT_EQ(once.status, 0);
  EXPECT_NE(once.err.find("Остановка записи на середине оставит микросхему записанной наполовину; запись "
                          "продолжается. Нажмите Ctrl-C ещё раз, чтобы всё же остановить её.\n"),
            std::string::npos)
      << once.err;
  EXPECT_EQ(once.err.find("Press Ctrl-C"), std::string::npos) << once.err;
  EXPECT_TRUE(once.out.ends_with("Проверка после записи: OK, флеш совпадает с образом.\n"))
      << once.out.substr(once.out.size() - std::min<std::size_t>(once.out.size(), 600));
  EXPECT_EQ(Mec16(state, {"read", dir.file("back.bin")}).status, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("back.bin")), image);
}

}  // namespace
}  // namespace jig::test

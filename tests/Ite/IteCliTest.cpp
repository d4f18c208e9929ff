// The "ite" command line against simulated programmers that keep their state in a folder,
// as separate runs of the program would.
#include <filesystem>

#include "tests/Ite/IteTestSupport.h"
#include "tests/support/CliRun.h"

namespace jig {
namespace {

struct IteRun : test::CliRun {
  std::vector<std::uint8_t> host;    // every byte the program sent
  std::vector<std::vector<std::uint8_t>> backups;  // saved before a write
};

IteRun RunIte(const std::string& stateDir, const std::string& action, std::vector<std::string> args,
              std::map<std::string, std::string> faults = {}) {
  test::ScratchBackupFolder backups;
  sim::SimOptions options = test::Options("ITE", std::move(faults));
  options.stateDir = stateDir;
  options.faults.emplace("ite-connect-window-ms", "300");
  test::SimCli cli(std::move(options));
  args.insert(args.begin(), action);
  IteRun run{cli.run("ite", std::move(args)), cli.programmer.hostBytes(), {}};
  for (const std::string& file : backups.files()) run.backups.push_back(test::ReadFileBytes(file));
  return run;
}

class IteCli : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileBytes(dir.file("base.txt"), test::Bytes(test::kBoard1 + "\r\n" + test::kBoard2 + "\r\n"));
  }
  std::vector<std::string> WithBase(std::vector<std::string> args) const {
    args.push_back("--base");
    args.push_back(dir.file("base.txt"));
    return args;
  }
  test::TempDir dir;
  std::string state() const { return dir.file("state"); }
};

TEST_F(IteCli, ApplyWriteReadAcrossRunsGivesTheFileBack) {
  EXPECT_EQ(RunIte(state(), "apply", WithBase({"--board", "1"})).status, kExitOk);
  std::vector<std::uint8_t> image(5000);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 0xFF : i);
  test::WriteFileBytes(dir.file("in.bin"), image);
  // Without --yes the short file is refused before anything is sent after the open.
  const IteRun refused = RunIte(state(), "write", {dir.file("in.bin")});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_EQ(std::count(refused.host.begin(), refused.host.end(), std::uint8_t{'T'}), 0);
  EXPECT_EQ(refused.host.back(), 'O');
  EXPECT_TRUE(refused.err.ends_with(" No\n")) << refused.err;
  const IteRun write = RunIte(state(), "write", {dir.file("in.bin"), "--yes"});
  EXPECT_EQ(write.status, kExitOk) << write.out << write.err;
  EXPECT_NE(write.out.find("Мы все записали. "), std::string::npos);
  // The flash as it was before the write, kept by default.
  ASSERT_EQ(write.backups.size(), 1u);
  EXPECT_EQ(write.backups[0], std::vector<std::uint8_t>(131072, 0xFF));
  const IteRun read = RunIte(state(), "read", {dir.file("out.bin")});
  EXPECT_EQ(read.status, kExitOk) << read.out << read.err;
  auto expected = image;
  expected.resize(131072, 0xFF);
  EXPECT_EQ(test::ReadFileBytes(dir.file("out.bin")), expected);
}

TEST_F(IteCli, WrongBoardFailsWithExitOneAndBadUsageWithTwo) {
  const IteRun wrong = RunIte(state(), "check", WithBase({"--board", "2"}));
  EXPECT_EQ(wrong.status, kExitFailed);
  EXPECT_NE(wrong.out.find(test::FailureLine("00")), std::string::npos);
  EXPECT_EQ(RunIte(state(), "read", {}).status, kExitUsage);
  EXPECT_EQ(RunIte(state(), "apply", WithBase({})).status, kExitUsage);
  EXPECT_EQ(RunIte(state(), "check", WithBase({"--board", "9"})).status, kExitUsage);
  EXPECT_EQ(RunIte(state(), "apply", {"--pins", "PD0=1"}).status, kExitUsage);
}

// A check that sent no pins in its run fails as always, then says how the command line sends
// them; one that sent pins (another board's) says only the documented line.
TEST_F(IteCli, AFailedConnectWithoutPinsSaysHowToSendThem) {
  const std::string hint =
      "Выводы программатору в этом запуске не переданы: добавьте --board N или --pins (или сначала ite apply).";
  const IteRun bare = RunIte(state(), "check", {});
  EXPECT_EQ(bare.status, kExitFailed);
  const std::size_t failure = bare.out.find(test::FailureLine("00"));
  ASSERT_NE(failure, std::string::npos) << bare.out;
  EXPECT_GT(bare.out.find(hint), failure) << bare.out;
  EXPECT_EQ(bare.out.find("APPLY"), std::string::npos) << "the window's wording";
  const IteRun wrong = RunIte(state(), "check", WithBase({"--board", "2"}));
  EXPECT_EQ(wrong.status, kExitFailed);
  EXPECT_NE(wrong.out.find(test::FailureLine("00")), std::string::npos);
  EXPECT_EQ(wrong.out.find(hint), std::string::npos) << wrong.out;
}

TEST_F(IteCli, BoardsListsTheBaseAndPinsByNameApplyLikeABoard) {
  const IteRun boards = RunIte(state(), "boards", WithBase({}));
  EXPECT_EQ(boards.status, kExitOk);
  EXPECT_EQ(boards.out.rfind("1  Board-1 ", 0), 0u);
  const IteRun pins = RunIte(state(), "check",
                          {"--pins", "PD0=1,PD1=2,PD2=3,PD3=4,PD4=5,PD5=6,PD6=7,PD7=8,BUSY=10,STB=11,AFD=12,INIT=13,"
                                     "SLIN=14,KSI4=15,KSI5=16"});
  EXPECT_EQ(pins.status, kExitOk) << pins.out;
  EXPECT_NE(pins.out.find("Найден ID мульта -> 8502 ревизия -> 07"), std::string::npos);
}

std::size_t Blocks(const IteRun& run) {
  return static_cast<std::size_t>(std::count(run.host.begin(), run.host.end(), std::uint8_t{'r'}));
}

TEST_F(IteCli, WriteVerifiesUnlessToldNotToAndAFailedVerifyExitsOne) {
  EXPECT_EQ(RunIte(state(), "apply", WithBase({"--board", "1"})).status, kExitOk);
  std::vector<std::uint8_t> image(131072, 0xFF);
  image[0x1FFFF] = 0x5A;
  test::WriteFileBytes(dir.file("in.bin"), image);

  const IteRun verified = RunIte(state(), "write", {dir.file("in.bin"), "--no-backup"});
  EXPECT_EQ(verified.status, kExitOk) << verified.out << verified.err;
  EXPECT_EQ(Blocks(verified), 512u);
  EXPECT_TRUE(verified.backups.empty());
  EXPECT_NE(verified.out.find("Проверка после записи: OK, флеш совпадает с образом.\n"), std::string::npos);

  const IteRun unverified =
      RunIte(state(), "write", {dir.file("in.bin"), "--no-verify", "--no-backup"}, {{"ite-flip-bit", "0x1FFFF"}});
  EXPECT_EQ(unverified.status, kExitOk);
  EXPECT_EQ(Blocks(unverified), 0u);
  EXPECT_EQ(unverified.host.back(), 'I');
  EXPECT_EQ(unverified.out.find("Проверка после записи"), std::string::npos);

  const IteRun flipped = RunIte(state(), "write", {dir.file("in.bin"), "--no-backup"}, {{"ite-flip-bit", "0x1FFFF"}});
  EXPECT_EQ(flipped.status, kExitFailed);
  EXPECT_NE(flipped.out.find("Проверка после записи: ОШИБКА, первое отличие по адресу 0001FFFF, различных байт: 1.\n"),
            std::string::npos);

  // Each option belongs to one action.
  EXPECT_EQ(RunIte(state(), "read", {dir.file("x.bin"), "--no-verify"}).status, kExitUsage);
  EXPECT_EQ(RunIte(state(), "write", {dir.file("in.bin"), "--read-twice"}).status, kExitUsage);
}

TEST_F(IteCli, ReadTwiceSavesOnlyAMatchingPair) {
  EXPECT_EQ(RunIte(state(), "apply", WithBase({"--board", "1"})).status, kExitOk);
  const IteRun differ = RunIte(state(), "read", {dir.file("a.bin"), "--read-twice"}, {{"ite-unstable-first-block", ""}});
  EXPECT_EQ(differ.status, kExitFailed);
  EXPECT_EQ(Blocks(differ), 1024u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.bin")));
  EXPECT_NE(differ.out.find("Файл не записан.\n"), std::string::npos);

  const IteRun match = RunIte(state(), "read", {dir.file("b.bin"), "--read-twice"});
  EXPECT_EQ(match.status, kExitOk) << match.out << match.err;
  EXPECT_NE(match.out.find("Двойное чтение: оба чтения совпадают.\n"), std::string::npos);
  // The simulated flash starts erased: a saved dump, and a warning about it.
  EXPECT_EQ(test::ReadFileBytes(dir.file("b.bin")), std::vector<std::uint8_t>(131072, 0xFF));
  EXPECT_NE(match.out.find("Внимание: дамп весь из FFh."), std::string::npos);
}

}  // namespace
}  // namespace jig

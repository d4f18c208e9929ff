// The shared file layer: what a source file must be before a chip is touched, how a dump
// reaches its name whole or not at all, the backups before a write and their digests.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "files/Backups.h"
#include "files/DataFiles.h"
#include "files/DumpSink.h"
#include "files/ImageQuestion.h"
#include "files/PlatformFiles.h"
#include "files/Sha256.h"
#include "files/SourceFile.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SourceFile, OnlyAWholeRegularFileWithinTheChipIsTaken) {
  test::TempDir dir;
  WriteFileBytes(dir.file("good.bin"), std::vector<std::uint8_t>(100, 0x5A));
  WriteFileBytes(dir.file("big.bin"), std::vector<std::uint8_t>(101, 0x5A));
  WriteFileBytes(dir.file("empty.bin"), {});
  fs::create_directory(dir.file("folder"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
  fs::create_symlink(dir.file("good.bin"), dir.file("link.bin"));
  fs::create_symlink("/dev/zero", dir.file("zero.bin"));
  struct Case {
    const char* name;
    SourceProblem problem;
    const char* line;  // a part of the English line
  };
  const Case cases[] = {
      {"good.bin", SourceProblem::None, ""},
      {"link.bin", SourceProblem::None, ""},
      {"big.bin", SourceProblem::TooLarge, "holds 101 bytes, more than the chip's 100; the chip is not touched."},
      {"empty.bin", SourceProblem::Empty, "is empty; the chip is not touched."},
      {"folder", SourceProblem::NotRegular, "is not a regular file (a folder, a pipe or a device)"},
      {"fifo", SourceProblem::NotRegular, "is not a regular file"},
      {"zero.bin", SourceProblem::NotRegular, "is not a regular file"},
      {"missing.bin", SourceProblem::CannotOpen, "cannot be opened (No such file or directory)"},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const SourceFile source = ReadSourceFile(dir.file(c.name), 100);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name << " must not block";
    EXPECT_EQ(source.problem, c.problem) << c.name;
    if (c.problem == SourceProblem::None) {
      EXPECT_EQ(source.bytes, std::vector<std::uint8_t>(100, 0x5A)) << c.name;
      continue;
    }
    EXPECT_TRUE(source.bytes.empty()) << c.name;
    const std::string line = SourceProblemLine(dir.file(c.name), source, 100, LogLanguage::English);
    EXPECT_NE(line.find(c.line), std::string::npos) << line;
    EXPECT_NE(line.find(dir.file(c.name)), std::string::npos) << "names the file: " << line;
    EXPECT_NE(SourceProblemLine(dir.file(c.name), source, 100, LogLanguage::Russian).find("микросхема не тронута"),
              std::string::npos);
  }
  // A stick pulled mid-file: the read error is a refusal, never a short image.
  InjectSourceReadFault(40);
  const SourceFile cut = ReadSourceFile(dir.file("good.bin"), 100);
  InjectSourceReadFault(std::nullopt);
  EXPECT_EQ(cut.problem, SourceProblem::ReadError);
  EXPECT_NE(SourceProblemLine("x", cut, 100, LogLanguage::English).find("could not be read whole (Input/output error)"),
            std::string::npos);
}

TEST(DataFile, ABaseOrImageThatIsNoFileIsPassedOverWithOneLine) {
  test::TempDir dir;
  fs::create_directory(dir.file("MB connection ENE.txt"));
  fs::create_symlink("/dev/zero", dir.file("Q27_jtag.hex"));
  WriteFileBytes(dir.file("empty.hex"), {});
  std::string problem;
  EXPECT_FALSE(ReadDataFile(dir.file("MB connection ENE.txt"), problem));
  EXPECT_EQ(problem, dir.file("MB connection ENE.txt") + " is not a regular file; it is not used.");
  EXPECT_FALSE(ReadDataFile(dir.file("Q27_jtag.hex"), problem));
  EXPECT_EQ(problem, dir.file("Q27_jtag.hex") + " is not a regular file; it is not used.");
  EXPECT_FALSE(ReadDataFile(dir.file("absent.txt"), problem));
  EXPECT_TRUE(problem.empty()) << "a missing file says nothing of its own";
  EXPECT_EQ(ReadDataFile(dir.file("empty.hex"), problem), std::vector<std::uint8_t>{});
}

class DumpSinkTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteFileBytes(target(), old); }
  void TearDown() override { InjectDumpWriteFault(std::nullopt); }
  std::string target() const { return dir.file("dump.bin"); }
  test::TempDir dir;
  const std::vector<std::uint8_t> old = std::vector<std::uint8_t>(300, 0x11);
  const std::vector<std::uint8_t> fresh = std::vector<std::uint8_t>(500, 0x22);
};

TEST_F(DumpSinkTest, AWholeDumpReplacesTheTargetAndNothingElseIsLeft) {
  auto sink = DumpSink::Create(target());
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(std::span(fresh).first(200)));
  EXPECT_EQ(ReadFileBytes(target()), old) << "the old dump stays until the new one is whole";
  ASSERT_TRUE(sink->write(std::span(fresh).subspan(200)));
  ASSERT_TRUE(sink->commit());
  EXPECT_EQ(ReadFileBytes(target()), fresh);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"dump.bin"});
  struct stat info {};
  ASSERT_EQ(stat(target().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644 & ~static_cast<unsigned>([] { mode_t m = umask(0); umask(m); return m; }()));
}

TEST_F(DumpSinkTest, EveryFailureKeepsTheOldDumpAndRemovesTheTemporaryFile) {
  enum class End { Abandon, Destroy, FullDisk };
  for (End end : {End::Abandon, End::Destroy, End::FullDisk}) {
    {
      if (end == End::FullDisk) InjectDumpWriteFault(100);
      auto sink = DumpSink::Create(target());
      ASSERT_TRUE(sink);
      const bool written = sink->write(fresh);
      if (end == End::FullDisk) {
        EXPECT_FALSE(written);
        EXPECT_FALSE(sink->commit());
      } else if (end == End::Abandon) {
        sink->abandon();
      }
      InjectDumpWriteFault(std::nullopt);
    }
    EXPECT_EQ(ReadFileBytes(target()), old) << static_cast<int>(end);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"dump.bin"}) << static_cast<int>(end);
  }
}

// The order that makes a dump durable: its bytes, the file's sync, the rename over the
// name, the folder's sync. A failure at any step before the rename keeps the old dump and
// leaves no temporary file; the system's reason is kept for the line.
TEST_F(DumpSinkTest, WriteSyncRenameSyncFolderAndAFailedStepKeepsTheOldDump) {
  using platform::FileCall;
  struct Case {
    std::optional<FileCall> fails;
    bool committed;
    std::vector<FileCall> calls;  // in the order they came
  };
  const Case cases[] = {
      {std::nullopt, true, {FileCall::Write, FileCall::SyncFile, FileCall::Rename, FileCall::SyncFolder}},
      {FileCall::Write, false, {FileCall::Write}},
      {FileCall::SyncFile, false, {FileCall::Write, FileCall::SyncFile}},
      {FileCall::Rename, false, {FileCall::Write, FileCall::SyncFile, FileCall::Rename}},
      // The rename is done: a folder that cannot sync keeps the new dump under its name.
      {FileCall::SyncFolder, true, {FileCall::Write, FileCall::SyncFile, FileCall::Rename, FileCall::SyncFolder}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fails ? static_cast<int>(*c.fails) : -1);
    WriteFileBytes(target(), old);
    std::vector<FileCall> calls;
    platform::SetFileCallHook([&](FileCall call) {
      calls.push_back(call);
      return call != c.fails;
    });
    bool committed = false;
    int error = 0;
    {
      auto sink = DumpSink::Create(target());
      ASSERT_TRUE(sink);
      committed = sink->write(fresh) && sink->commit();
      error = sink->error();
    }
    platform::SetFileCallHook(nullptr);
    EXPECT_EQ(committed, c.committed);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(ReadFileBytes(target()), c.committed ? fresh : old);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"dump.bin"}) << "no temporary file is left";
    EXPECT_EQ(error, c.committed ? 0 : EIO);
  }
}

TEST_F(DumpSinkTest, ALinkIsReplacedNotFollowedAndAFolderIsNoTarget) {
  const std::string elsewhere = dir.file("elsewhere.bin");
  fs::create_symlink(elsewhere, dir.file("dangling.bin"));
  EXPECT_TRUE(PathTaken(dir.file("dangling.bin"))) << "a dangling link counts as existing";
  EXPECT_FALSE(PathTaken(dir.file("none.bin")));
  auto sink = DumpSink::Create(dir.file("dangling.bin"));
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(fresh) && sink->commit());
  EXPECT_FALSE(fs::exists(elsewhere)) << "nothing is created where the link pointed";
  EXPECT_FALSE(fs::is_symlink(dir.file("dangling.bin")));
  EXPECT_EQ(ReadFileBytes(dir.file("dangling.bin")), fresh);

  fs::create_directory(dir.file("folder"));
  EXPECT_FALSE(DumpSink::Create(dir.file("folder")));
  EXPECT_FALSE(DumpSink::Create(dir.file("no-such-folder/dump.bin")));
}

// A process that has ended and been reaped: its id names no running process.
unsigned GoneProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<unsigned>(child);
}

// A writer killed outright leaves its temporary file; the next dump sink in the folder removes
// it, and only it: a file of a writer that still runs (this program, another one), a file
// named otherwise, and anything that is no regular file all stay.
TEST_F(DumpSinkTest, TheNextDumpRemovesOnlyTheTemporaryFilesOfWritersThatAreGone) {
  const std::string gone = std::to_string(GoneProcessId());
  const std::string self = std::to_string(getpid());
  const std::string other = std::to_string(getppid());
  fs::create_directory(dir.file("sub"));
  struct Case {
    std::string name;
    enum Kind { File, Folder, Link } kind;
    bool removed;
  };
  const Case cases[] = {
      {".dump.bin." + gone + ".k3x9a0zq.part", Case::File, true},
      {".другой дамп.bin." + gone + ".00000000.part", Case::File, true},
      {".a.b.c." + gone + ".zzzzzzzz.part", Case::File, true},
      {".dump.bin." + self + ".k3x9a0zq.part", Case::File, false},
      {".dump.bin." + other + ".k3x9a0zq.part", Case::File, false},
      {".dump.bin." + gone + ".K3X9A0ZQ.part", Case::File, false},
      {".dump.bin." + gone + ".k3x9a0z.part", Case::File, false},
      {".dump.bin." + gone + ".k3x9a0zqq.part", Case::File, false},
      {".dump.bin.0" + gone + ".k3x9a0zq.part", Case::File, false},
      {".dump.bin.99999999999.k3x9a0zq.part", Case::File, false},
      {".dump.bin.k3x9a0zq.part", Case::File, false},
      {"." + gone + ".k3x9a0zq.part", Case::File, false},
      {".." + gone + ".k3x9a0zq.part", Case::File, false},
      {"dump.bin." + gone + ".k3x9a0zq.part", Case::File, false},
      {".dump.bin." + gone + ".k3x9a0zq.part.keep", Case::File, false},
      {".dump.bin." + gone + ".k3x9a0zq.parts", Case::File, false},
      {".d.bin." + gone + ".k3x9a0zq.part", Case::Folder, false},
      {".l.bin." + gone + ".k3x9a0zq.part", Case::Link, false},
  };
  for (const Case& c : cases) {
    if (c.kind == Case::File) WriteFileBytes(dir.file(c.name), {7});
    if (c.kind == Case::Folder) fs::create_directory(dir.file(c.name));
    if (c.kind == Case::Link) fs::create_symlink(dir.file("dump.bin"), dir.file(c.name));
  }
  // The leftovers of the folder written into only.
  WriteFileBytes(dir.file("sub/.dump.bin." + gone + ".k3x9a0zq.part"), {7});

  auto sink = DumpSink::Create(target());
  ASSERT_TRUE(sink);
  ASSERT_TRUE(sink->write(fresh) && sink->commit());
  for (const Case& c : cases) EXPECT_EQ(fs::exists(fs::symlink_status(dir.file(c.name))), !c.removed) << c.name;
  EXPECT_TRUE(fs::exists(dir.file("sub/.dump.bin." + gone + ".k3x9a0zq.part")));
  EXPECT_EQ(ReadFileBytes(target()), fresh);
  EXPECT_EQ(ReadFileBytes(dir.file(".dump.bin." + self + ".k3x9a0zq.part")), std::vector<std::uint8_t>{7});
}

TEST(Sha256, KnownDigests) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : cases)
    EXPECT_EQ(Sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())), digest)
        << text.size();
}

TEST(ImageQuestion, AsksAboutASizeThatIsNotTheChipsAndABlankImage) {
  std::vector<std::uint8_t> real(64);
  for (std::size_t i = 0; i < real.size(); ++i) real[i] = static_cast<std::uint8_t>(i);
  struct Case {
    std::vector<std::uint8_t> image;
    const char* part;  // nullptr: no question
  };
  const Case cases[] = {
      {real, nullptr},
      {std::vector<std::uint8_t>(real.begin(), real.begin() + 32), "holds 32 bytes; the chip holds 64. The rest of the chip will be FFh."},
      {std::vector<std::uint8_t>(64, 0xFF), "holds nothing but FFh"},
      {std::vector<std::uint8_t>(64, 0x00), "holds nothing but 00h"},
      {std::vector<std::uint8_t>(16, 0xFF), "holds 16 bytes; the chip holds 64. The rest of the chip will be FFh. The file f.bin holds nothing but FFh"},
  };
  for (const auto& c : cases) {
    const auto question = ImageQuestion("f.bin", c.image, 64, LogLanguage::English);
    if (!c.part) {
      EXPECT_FALSE(question) << *question;
      continue;
    }
    ASSERT_TRUE(question);
    EXPECT_NE(question->find(c.part), std::string::npos) << *question;
    EXPECT_TRUE(question->ends_with("Write it anyway?")) << *question;
  }
  EXPECT_NE(ImageQuestion("f.bin", std::vector<std::uint8_t>(32, 1), 64, LogLanguage::Russian)->find("Остаток микросхемы будет FFh"),
            std::string::npos);
  // A write that programs only the file's pages says the rest keeps what it holds.
  for (const auto language : {LogLanguage::English, LogLanguage::Russian}) {
    const auto kept = ImageQuestion("f.bin", std::vector<std::uint8_t>(32, 1), 64, language, RestOfChip::KeptAsItWas);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->find("FFh. "), std::string::npos) << *kept;
    EXPECT_NE(kept->find(language == LogLanguage::English ? "keeps what it holds (FFh only after an erase)"
                                                          : "сохранит прежнее содержимое (FFh только после стирания)"),
              std::string::npos)
        << *kept;
  }

  test::RecordingView view;  // answers No when nothing is scripted
  EXPECT_FALSE(ConfirmImage(view, "f.bin", std::vector<std::uint8_t>(64, 0xFF), 64, LogLanguage::English));
  EXPECT_EQ(view.lastLine(), "The write is cancelled; the chip is not touched.");
  view.answerYesNo(true);
  EXPECT_TRUE(ConfirmImage(view, "f.bin", std::vector<std::uint8_t>(64, 0xFF), 64, LogLanguage::English));
  EXPECT_TRUE(ConfirmImage(view, "f.bin", real, 64, LogLanguage::English));
  EXPECT_EQ(view.questions().size(), 2u) << "a real image of the chip's size is not asked about";
}

}  // namespace
}  // namespace jig

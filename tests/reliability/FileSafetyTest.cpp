// Files are the technician's: over the command line of every task that reads or writes a
// chip, a bad source sends nothing after the open, a failed read leaves the old dump as it
// was with no temporary file beside it, a dangling link is never followed, and the backup
// before a write holds the chip's old contents.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cli/CliInterrupt.h"
#include "files/DumpSink.h"
#include "files/SourceFile.h"
#include "journal/Journal.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafety.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct TaskRow {
  const char* word;
  const char* image;     // the firmware the simulated programmer runs from the start
  std::size_t chipSize;  // a whole dump
  std::size_t largest;   // the largest file a write takes
  std::map<std::string, std::string> faults;  // what keeps the simulated chip quick
  bool stoppable;        // a read that runs in a worker and can be stopped midway
  // Lines that show a read under way and a write past its first touch of the chip; what
  // keeps the write running long enough to be caught midway: the wire's own time, or this
  // fault where the wire would take minutes (ITE programs byte by byte) or no time (EDID).
  const char* reading;
  const char* writing;
  std::string slowWrite;
  bool russian;          // the task's log speaks Russian
};

std::string Name(const ::testing::TestParamInfo<TaskRow>& info) { return info.param.word; }
void PrintTo(const TaskRow& row, std::ostream* os) { *os << row.word; }

const std::string kIteBase =
    "Board-1 PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=11 AFD=12 INIT=13 SLIN=14 KSI4=15 "
    "KSI5=16 KB_pins=30\r\n";

using test::CliRun;

class FileSafety : public ::testing::TestWithParam<TaskRow> {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    WriteFileBytes(dir.file("base.txt"), test::Bytes(kIteBase));
  }
  void TearDown() override {
    InjectSourceReadFault(std::nullopt);
    InjectDumpWriteFault(std::nullopt);
    ResetInterrupts();
  }

  // A fresh programmer for the row's runs (an ITE one with the board applied).
  sim::SimProgrammer& attach(std::map<std::string, std::string> extra = {}, bool wire = false) {
    sim::SimOptions options;
    options.image = GetParam().image;
    options.stateDir = dir.file("state");
    options.wireTime = wire;
    options.faults = GetParam().faults;
    for (auto& [name, value] : extra) options.faults[name] = value;
    cli.reset();
    test::SimCli& fresh = cli.emplace(std::move(options));
    if (std::string(GetParam().word) == "ite") {
      const CliRun apply = fresh.run("ite", {"apply", "--board", "1", "--base", dir.file("base.txt")});
      EXPECT_EQ(apply.status, kExitOk) << apply.out << apply.err;
      fresh.programmer.clearTranscript();
    }
    return fresh.programmer;
  }
  // A programmer whose chip a whole write can be checked on (the MEC16xx write programs
  // without erasing, so its chip is erased first); with readOld, its contents in old.bin.
  void attachWritable(bool readOld) {
    attach();
    if (std::string(GetParam().word) == "mec16") {
      ASSERT_EQ(run({"erase", "--yes", "--no-backup"}).status, kExitOk);
    }
    if (readOld) {
      ASSERT_EQ(run({"read", dir.file("old.bin")}).status, kExitOk);
    }
  }
  CliRun run(std::vector<std::string> words, bool force = false) {
    return cli->run(GetParam().word, std::move(words), force);
  }
  // The program's own run of the row's task on the simulator whose state is in the folder.
  std::vector<std::string> programArguments(std::vector<std::string> words, std::vector<std::string> more = {}) const {
    std::vector<std::string> arguments = {std::string(JIG_BINARY_DIR) + "/holbrenik-jig", "--simulate", "--sim-image",
                                          GetParam().image, "--sim-state", dir.file("state")};
    for (const auto& [name, value] : GetParam().faults) {
      arguments.push_back("--sim-fault");
      arguments.push_back(value.empty() ? name : name + "=" + value);
    }
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(GetParam().word);
    arguments.insert(arguments.end(), words.begin(), words.end());
    if (std::string(GetParam().word) == "ite") {
      for (const std::string& word : {std::string("--board"), std::string("1"), std::string("--base"), dir.file("base.txt")})
        arguments.push_back(word);
    }
    return arguments;
  }
  std::string called(const char* english, const char* russian) const { return GetParam().russian ? russian : english; }
  std::vector<std::uint8_t> Pattern(std::size_t size) const {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 37 + 11) ^ (i >> 8));
    return bytes;
  }
  test::TempDir dir;
  std::optional<test::SimCli> cli;
};

// What the programmer hears when the file cannot even be opened: the documented open and
// handshake, then the end. A bad source must add nothing to it.
TEST_P(FileSafety, ABadSourceSendsNothingAfterTheOpen) {
  std::vector<std::uint8_t> reference;
  {
    auto& programmer = attach();
    EXPECT_EQ(run({"write", dir.file("missing.bin"), "--no-backup"}).status, kExitFailed);
    reference = programmer.hostBytes();
  }
  const std::size_t size = GetParam().chipSize;
  WriteFileBytes(dir.file("large.bin"), std::vector<std::uint8_t>(GetParam().largest + 1, 0x12));
  WriteFileBytes(dir.file("empty.bin"), {});
  WriteFileBytes(dir.file("whole.bin"), Pattern(size));
  fs::create_directory(dir.file("folder"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir.file("zero.bin"));
  struct Source {
    const char* name;
    std::optional<std::size_t> readFault;
  };
  for (const Source source : {Source{"folder", {}}, Source{"fifo", {}}, Source{"empty.bin", {}}, Source{"zero.bin", {}},
                              Source{"large.bin", {}}, Source{"whole.bin", size / 2}}) {
    auto& programmer = attach();
    InjectSourceReadFault(source.readFault);
    const auto start = std::chrono::steady_clock::now();
    const CliRun result = run({"write", dir.file(source.name), "--yes", "--no-backup"});
    InjectSourceReadFault(std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << source.name;
    EXPECT_EQ(result.status, kExitFailed) << source.name;
    EXPECT_EQ(programmer.hostBytes(), reference) << source.name << "\n" << result.out << result.err;
    const std::string said = result.out + result.err;
    EXPECT_NE(said.find(dir.file(source.name)), std::string::npos) << source.name << ": " << said;
  }
}

// The old dump survives every way a read can fail, and nothing is left beside it.
TEST_P(FileSafety, AFailedReadKeepsTheOldDumpWhole) {
  const auto old = Pattern(1000);
  const std::string target = dir.file("dump.bin");
  enum class Failure { SilenceMidRead, FullDisk, Interrupt };
  for (Failure failure : {Failure::SilenceMidRead, Failure::FullDisk, Failure::Interrupt}) {
    if (failure == Failure::Interrupt && !GetParam().stoppable) continue;
    SCOPED_TRACE(static_cast<int>(failure));
    WriteFileBytes(target, old);
    std::map<std::string, std::string> faults;
    if (failure == Failure::SilenceMidRead) faults["silence-after"] = std::to_string(GetParam().chipSize / 3);
    auto& programmer = attach(faults, failure == Failure::Interrupt);
    if (failure == Failure::FullDisk) InjectDumpWriteFault(GetParam().chipSize / 2);
    std::optional<test::CtrlCWhen> ctrlC;
    if (failure == Failure::Interrupt) {
      // Ctrl-C once a third of the chip has come.
      ctrlC.emplace([&programmer, third = GetParam().chipSize / 3] { return programmer.bytesToHost() >= third; });
    }
    const CliRun result = run({"read", target}, true);
    ctrlC.reset();
    InjectDumpWriteFault(std::nullopt);
    ResetInterrupts();
    EXPECT_EQ(result.status, failure == Failure::Interrupt ? 128 + SIGINT : kExitFailed) << result.out << result.err;
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(test::TemporaryDumps(dir.path()), std::vector<std::string>{});
  }
}

// A dangling link counts as existing; replaced only with --force, and then the link itself
// is replaced: nothing is created where it pointed.
TEST_P(FileSafety, ADanglingLinkIsNeverFollowed) {
  const std::string link = dir.file("link.bin");
  const std::string elsewhere = dir.file("elsewhere.bin");
  fs::create_symlink(elsewhere, link);
  attach();
  const CliRun refused = run({"read", link});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_NE(refused.err.find(link + " exists; --force replaces it"), std::string::npos) << refused.err;
  EXPECT_TRUE(fs::is_symlink(link));
  const CliRun forced = run({"read", link}, true);
  EXPECT_EQ(forced.status, kExitOk) << forced.out << forced.err;
  EXPECT_FALSE(fs::exists(elsewhere));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(fs::file_size(link), GetParam().chipSize);
}

// The backup before a write is what the chip held, and the log names it.
TEST_P(FileSafety, TheBackupBeforeAWriteHoldsTheOldContents) {
  attach();
  const CliRun before = run({"read", dir.file("old.bin")});
  ASSERT_EQ(before.status, kExitOk) << before.out << before.err;
  WriteFileBytes(dir.file("new.bin"), Pattern(GetParam().chipSize));
  const CliRun write = run({"write", dir.file("new.bin"), "--yes"});  // an EDID pattern is no EDID
  // The MEC16xx write programs without erasing: over the old contents it is refused without
  // --erase, after the backup.
  if (std::string(GetParam().word) != "mec16") {
    EXPECT_EQ(write.status, kExitOk) << write.out << write.err;
  }
  const fs::path folder = fs::path(dir.file("data")) / "holbrenik-jig" / "backups";
  const std::vector<std::string> names = test::BackupsIn(folder);
  const std::vector<fs::path> backups(names.begin(), names.end());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_TRUE(backups[0].filename().string().starts_with(std::string(GetParam().word) + "-"));
  EXPECT_EQ(ReadFileBytes(backups[0].string()), ReadFileBytes(dir.file("old.bin")));
  EXPECT_NE(write.out.find(backups[0].string() + " SHA-256 "), std::string::npos) << write.out;
}

// A backup that cannot be saved keeps the write from starting, on the command line as in
// the windows: the line names the path and the system's reason, and the chip is as it was.
TEST_P(FileSafety, ABackupThatCannotBeSavedKeepsTheChipAsItWas) {
  ASSERT_NO_FATAL_FAILURE(attachWritable(true));
  WriteFileBytes(dir.file("new.bin"), Pattern(GetParam().chipSize));
  // A file where the data folder would be (the jobs so far put their journal there).
  fs::remove_all(dir.file("data"));
  WriteFileBytes(dir.file("data"), {1});
  attach();
  const CliRun write = run({"write", dir.file("new.bin"), "--yes"});
  EXPECT_EQ(write.status, kExitFailed) << write.out << write.err;
  const std::string folder = (fs::path(dir.file("data")) / "holbrenik-jig" / "backups").string();
  EXPECT_NE(write.out.find(folder), std::string::npos) << write.out;
  EXPECT_NE(write.out.find("(Not a directory)"), std::string::npos) << write.out;
  attach();
  ASSERT_EQ(run({"read", dir.file("back.bin")}).status, kExitOk);
  EXPECT_EQ(ReadFileBytes(dir.file("back.bin")), ReadFileBytes(dir.file("old.bin")));
}

// Ctrl-C while the backup before a write is read: the chip is not touched yet, so the first
// signal calls the whole write off (exit 130, no warning that the write goes on), no backup
// is kept and the chip holds what it held.
TEST_P(FileSafety, ACtrlCInTheBackupReadCallsTheWriteOff) {
  if (!GetParam().stoppable) GTEST_SKIP() << "the backup and the write run in one click";
  ASSERT_NO_FATAL_FAILURE(attachWritable(true));
  WriteFileBytes(dir.file("new.bin"), Pattern(GetParam().chipSize));
  auto& programmer = attach({}, true);  // at wire speed the backup's read takes seconds
  std::optional<test::CtrlCWhen> ctrlC;
  ctrlC.emplace([&programmer, third = GetParam().chipSize / 3] { return programmer.bytesToHost() >= third; });
  const CliRun write = run({"write", dir.file("new.bin"), "--yes"});
  ctrlC.reset();
  ResetInterrupts();
  EXPECT_EQ(write.status, 128 + SIGINT) << write.out << write.err;
  EXPECT_NE(write.err.find(called("the write is called off and the chip keeps what it holds",
                                  "запись отменена, в микросхеме остаётся прежнее содержимое")),
            std::string::npos)
      << write.err;
  EXPECT_EQ(write.err.find("Ctrl-C again"), std::string::npos) << write.err;
  EXPECT_EQ(write.err.find("Ctrl-C ещё раз"), std::string::npos) << write.err;
  EXPECT_TRUE(test::BackupsIn(fs::path(dir.file("data")) / "holbrenik-jig" / "backups").empty());
  attach();
  ASSERT_EQ(run({"read", dir.file("back.bin")}).status, kExitOk);
  EXPECT_EQ(ReadFileBytes(dir.file("back.bin")), ReadFileBytes(dir.file("old.bin")));
}

// A log reader that goes away (`| head`, a logger that died, a closed terminal) changes
// nothing: the program, with both its outputs on a pipe whose reader is gone, writes the
// chip to its end and exits with the write's own status.
TEST_P(FileSafety, AClosedLogReaderNeitherStopsNorChangesAWrite) {
  ASSERT_NO_FATAL_FAILURE(attachWritable(false));
  cli.reset();  // the chip's state is in the folder for the program's own run
  const std::vector<std::uint8_t> image = Pattern(GetParam().chipSize);
  WriteFileBytes(dir.file("new.bin"), image);
  const std::vector<std::string> arguments = programArguments({"write", dir.file("new.bin"), "--yes"});
  EXPECT_EQ(test::RunWithClosedOutput(arguments, 120000), kExitOk);

  attach();
  const CliRun back = run({"read", dir.file("back.bin")});
  ASSERT_EQ(back.status, kExitOk) << back.out << back.err;
  EXPECT_EQ(ReadFileBytes(dir.file("back.bin")), image);
}

// A read killed outright (SIGKILL: no handler runs) leaves its temporary file beside the
// dump; the next program that writes into the folder removes it. A temporary file of a
// writer that still runs and the files that only look like one stay.
TEST(KilledWriter, TheNextProgramRemovesTheTemporaryFileOfAReadKilledOutright) {
  test::TempDir dir;
  const std::string program = std::string(JIG_BINARY_DIR) + "/holbrenik-jig";
  std::vector<std::string> left;
  std::string killedPid;
  {
    test::BackgroundProgram killed({program, "--simulate", "--sim-wire", "kb90", "read", dir.file("a.bin")});
    ASSERT_GT(killed.pid(), 0);
    killedPid = std::to_string(killed.pid());
    // Until the read has created its file (at wire speed it then runs for a second or more).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((left = test::TemporaryDumps(dir.path())).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    killed.signal(SIGKILL);
    std::string output;
    EXPECT_EQ(killed.wait(10000, output), 128 + SIGKILL) << output;
  }
  ASSERT_EQ(left.size(), 1u) << "the read never created its file";
  EXPECT_TRUE(left[0].starts_with(".a.bin." + killedPid + ".")) << left[0];
  EXPECT_FALSE(fs::exists(dir.file("a.bin")));
  ASSERT_EQ(test::TemporaryDumps(dir.path()), left) << "SIGKILL leaves the file behind";

  const std::string live = ".b.bin." + std::to_string(getpid()) + ".abcdefgh.part";
  const std::vector<std::string> lookAlikes = {".a.bin." + killedPid + ".abcdefgh.part.txt",
                                               "a.bin." + killedPid + ".abcdefgh.part", ".a.bin.abcdefgh.part"};
  WriteFileBytes(dir.file(live), {1});
  for (const auto& name : lookAlikes) WriteFileBytes(dir.file(name), {2});
  std::string out;
  EXPECT_EQ(test::RunProgram({program, "--simulate", "kb90", "read", dir.file("c.bin")}, out), kExitOk) << out;
  EXPECT_EQ(ReadFileBytes(dir.file("c.bin")).size(), 131072u);
  EXPECT_FALSE(fs::exists(dir.file(left[0])));
  EXPECT_EQ(ReadFileBytes(dir.file(live)), std::vector<std::uint8_t>{1});
  for (const auto& name : lookAlikes) EXPECT_EQ(ReadFileBytes(dir.file(name)), std::vector<std::uint8_t>{2}) << name;
}

// A closed terminal (a dropped SSH connection) hangs the program up: that is a first Ctrl-C. A
// read stops and leaves nothing behind; a write that has not touched the chip is called off
// and the chip keeps what it held; a write past its first touch runs to its end and verify,
// its lines to the gone terminal dropped, and goes on record with its own status.
TEST_P(FileSafety, AClosedTerminalIsAFirstCtrlCAndNeverKillsAWrite) {
  constexpr int kBoundMs = 240000;
  ASSERT_NO_FATAL_FAILURE(attachWritable(true));
  cli.reset();
  const std::vector<std::uint8_t> image = Pattern(GetParam().chipSize);
  WriteFileBytes(dir.file("new.bin"), image);
  auto readChip = [&] {
    attach();
    const CliRun back = run({"read", dir.file("back.bin")}, true);
    EXPECT_EQ(back.status, kExitOk) << back.out << back.err;
    cli.reset();
    return ReadFileBytes(dir.file("back.bin"));
  };
  // The terminal closed before the end: its last line is the one waited for, no verdict.
  auto expectCaughtMidway = [](const std::string& printed, const std::string& line) {
    EXPECT_NE(printed.find(line), std::string::npos) << printed;
    EXPECT_EQ(printed.find("RESULT:"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("ИТОГ:"), std::string::npos) << printed;
  };
  if (GetParam().stoppable) {
    std::string printed;
    EXPECT_EQ(test::RunOnTerminalClosedAt(programArguments({"read", dir.file("dump.bin")}, {"--sim-wire"}),
                                          GetParam().reading, kBoundMs, printed),
              128 + SIGHUP);
    expectCaughtMidway(printed, GetParam().reading);
    EXPECT_FALSE(fs::exists(dir.file("dump.bin")));
    EXPECT_EQ(test::TemporaryDumps(dir.path()), std::vector<std::string>{});

    printed.clear();
    const std::string backingUp =
        called("Backup of the chip before the write ...", "Копия микросхемы перед записью ...");
    EXPECT_EQ(test::RunOnTerminalClosedAt(programArguments({"write", dir.file("new.bin"), "--yes"}, {"--sim-wire"}),
                                          backingUp, kBoundMs, printed),
              128 + SIGHUP);
    expectCaughtMidway(printed, backingUp);
    EXPECT_EQ(readChip(), ReadFileBytes(dir.file("old.bin"))) << "a write called off changed the chip";
    if (std::string(GetParam().word) == "mec16") {  // its write programs without erasing
      attach();
      ASSERT_EQ(run({"erase", "--yes", "--no-backup"}).status, kExitOk);
      cli.reset();
    }
  }

  const std::vector<std::string> more = GetParam().slowWrite.empty()
                                           ? std::vector<std::string>{"--sim-wire"}
                                           : std::vector<std::string>{"--sim-fault", GetParam().slowWrite};
  std::string printed;
  EXPECT_EQ(test::RunOnTerminalClosedAt(programArguments({"write", dir.file("new.bin"), "--yes"}, more),
                                        GetParam().writing, kBoundMs, printed),
            kExitOk);
  expectCaughtMidway(printed, GetParam().writing);
  EXPECT_EQ(readChip(), image);
  bool recorded = false;
  for (const JournalEntry& entry : Journal(JournalFile(), false).history({})) {
    const JobRecord& r = entry.record;
    recorded = recorded || (r.task == GetParam().word && r.action == "write" && r.success && r.file == dir.file("new.bin"));
  }
  EXPECT_TRUE(recorded) << "no journal row for the write";
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, FileSafety,
    ::testing::Values(TaskRow{"edid", "V41", 256, 256, {}, false, "", "Backup of the chip: ", "edid-write-ms=3000", false},
                      TaskRow{"kb90", "V41", 131072, 131072, {}, true, "Reading KB9012 ...", "There is a writing KB901X",
                              "", false},
                      TaskRow{"mec16", "V42", 196608, 196608 + 2048, {}, true, "Начали чтение MEC16 main block",
                              "Начали запись MEC16 main block", "", true},
                      TaskRow{"ite", "ITE", 131072, 131072, {{"ite-connect-window-ms", "300"}}, true,
                              "Читаю, пожалуйста ждите", "Команда стирания чипа отправлена", "ite-erase-ms=3000", true},
                      TaskRow{"npce", "NPCE", 131072, 131072,
                              {{"npce-erase-ms", "10"}, {"version", "Q27 NPCE288 FW 1.0 bench unit 0123\\r\\n"}}, true,
                              "Reading ...", "Write ...", "", false}),
    Name);

}  // namespace
}  // namespace jig

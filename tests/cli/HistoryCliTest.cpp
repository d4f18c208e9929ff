// `history` on the command line over a journal the test fills: the table and CSV it prints
// from the journal's fields, and what it says of a journal that is not there or is damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "journal/JobJournal.h"
#include "journal/Journal.h"
#include "tests/support/CliRun.h"
#include "tests/support/FileSafety.h"
#include "tests/support/JournalRecords.h"

namespace jig::test {
namespace {

constexpr std::time_t kBase = 1796000000;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HistoryCli, PrintsTheJournalsJobsAsTableAndCsv) {
  ScratchBackupFolder home;
  {
    JobRecord write = Record("kb90", "write", kBase + 20, false, "T-12");
    write.file = "/bench/b.bin";
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Record("kb90", "read", kBase, true, "T-1"), write, Record("edid", "read", kBase + 10, true)}));
  }
  sim::SimD2xx d2xx;
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> lines;  // after the header
  };
  const Case cases[] = {
      {{"history"},
       {"     2  2026-11-30T00:53:40Z  kb90      write       FAILED  [T-12] /bench/b.bin",
        "     3  2026-11-30T00:53:30Z  edid      read        ok      ",
        "     1  2026-11-30T00:53:20Z  kb90      read        ok      [T-1] "}},
      {{"history", "--task", "kb90", "--failed"},
       {"     2  2026-11-30T00:53:40Z  kb90      write       FAILED  [T-12] /bench/b.bin"}},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCli(d2xx, c.words);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    auto lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().substr(0, 20), "    ID  STARTED (UTC");
    lines.erase(lines.begin());
    EXPECT_EQ(lines, c.lines);
  }
  const CliRun csv = RunCli(d2xx, {"history", "--csv", "--task", "edid"});
  const auto rows = Lines(csv.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].rfind("id,started,ended,duration_ms,task,action,success,", 0), 0u) << rows[0];
  EXPECT_EQ(rows[1].rfind("3,2026-11-30T00:53:30Z,2026-11-30T00:53:33Z,", 0), 0u) << rows[1];
}

// A job called off: "cancelled" in the table, left out by --failed, its outcome in JSON and CSV.
TEST(HistoryCli, ACalledOffJobIsCancelledNotFailed) {
  ScratchBackupFolder home;
  {
    JobRecord cancelled = Record("npce", "write", kBase + 10, false, "T-3");
    cancelled.cancelled = true;
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.recordAll({Record("npce", "write", kBase, false, "T-2"), cancelled}));
  }
  sim::SimD2xx d2xx;
  auto table = Lines(RunCli(d2xx, {"history"}).out);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1].substr(0, 56), "     2  2026-11-30T00:53:30Z  npce      write       canc");
  EXPECT_NE(table[1].find(" cancelled "), std::string::npos) << table[1];
  EXPECT_NE(table[2].find(" FAILED "), std::string::npos) << table[2];
  const auto failed = Lines(RunCli(d2xx, {"history", "--failed"}).out);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[1].substr(0, 6), "     1");
  const std::string json = RunCli(d2xx, {"history", "--json"}).out;
  EXPECT_NE(json.find(R"("outcome": "cancelled")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("outcome": "failed")"), std::string::npos) << json;
  const auto csv = Lines(RunCli(d2xx, {"history", "--csv"}).out);
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[0].rfind("id,started,ended,duration_ms,task,action,success,outcome,", 0), 0u) << csv[0];
  EXPECT_NE(csv[1].find(",false,cancelled,"), std::string::npos) << csv[1];
}

TEST(HistoryCli, SaysWhenThereIsNoJournalAndWhenItCannotBeRead) {
  ScratchBackupFolder home;
  sim::SimD2xx d2xx;
  const CliRun none = RunCli(d2xx, {"history"});
  EXPECT_EQ(none.status, kExitOk);
  EXPECT_EQ(none.out, "The job journal " + JournalFile().string() + " holds no jobs yet.\n");

  std::filesystem::create_directories(JournalFile().parent_path());
  WriteFileBytes(JournalFile().string(), std::vector<std::uint8_t>(8192, 'x'));
  const CliRun damaged = RunCli(d2xx, {"history"});
  EXPECT_EQ(damaged.status, kExitFailed);
  EXPECT_NE(damaged.err.find("The job journal " + JournalFile().string() + " cannot be read ("), std::string::npos)
      << damaged.err;
}

// The command as the program runs it, with the global --label.
CliRun RunLabelled(D2xx& d2xx, const std::vector<std::string>& words, const std::string& label) {
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, words, SharedAnswers{false, false, true, label}, out, err);
  SetDefaultJobLabel({});
  return {status, out.str(), err.str()};
}

// A byte that would act on a terminal: a C0 control other than the line ends, DEL, or the
// UTF-8 of a C1 control.
std::string RawControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\r') || c == 0x7F) return "byte " + std::to_string(c) + " at " + std::to_string(i);
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
        static_cast<unsigned char>(text[i + 1]) >= 0x80)
      return "a C1 control at " + std::to_string(i);
  }
  return {};
}

// A label that would not go on record is bad usage before anything runs: one line, exit 2,
// no job and no journal. The limit counts characters, not bytes.
TEST(HistoryCli, ALabelWithControlCharactersBadUtf8OrOver200CharactersIsRefused) {
  ScratchBackupFolder home;
  sim::SimD2xx d2xx;
  std::string cyrillic200;
  for (int i = 0; i < 200; ++i) cyrillic200 += "Ж";
  struct Case {
    std::string label;
    std::string line;  // empty: taken
  };
  const Case cases[] = {
      {"T-1\nRESULT: ok", "--label: the label holds a control character (\\x0A)"},
      {"T-1\x1b[2J", "--label: the label holds a control character (\\x1B)"},
      {"bell\a", "--label: the label holds a control character (\\x07)"},
      {"csi\xc2\x9b", "--label: the label holds a control character (\\u009B)"},
      {"bad\xff", "--label: the label is not valid UTF-8 text"},
      {"overlong\xc0\xaf", "--label: the label is not valid UTF-8 text"},
      {std::string(201, 'x'), "--label: the label has 201 characters; at most 200 are kept"},
      {cyrillic200, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    for (const std::vector<std::string>& words : {std::vector<std::string>{"history"},
                                                  std::vector<std::string>{"kb90", "read", "/nonexistent/x.bin"}}) {
      const CliRun run = RunLabelled(d2xx, words, c.label);
      if (c.line.empty()) {
        EXPECT_EQ(run.status, kExitOk) << run.err;
        break;
      }
      EXPECT_EQ(run.status, kExitUsage);
      EXPECT_EQ(run.err, c.line + "\n");
      EXPECT_EQ(run.out, "");
      EXPECT_FALSE(std::filesystem::exists(JournalFile()));
    }
  }
}

// Whatever a row holds (a path with an escape sequence, a verdict with a newline, a label
// written before labels were checked), no form of the history puts a control character on
// the terminal raw, and CSV keeps every value a spreadsheet would run as a formula as text.
TEST(HistoryCli, NoControlCharacterGoesOutRawAndNoCsvValueIsAFormula) {
  ScratchBackupFolder home;
  {
    JobRecord hostile = Record("kb90\x1b]0;x\a", "write\r", kBase, false, "=HYPERLINK(\"http://x\")\n\x1b[31m");
    hostile.file = "/bench/\x1b[2Jclear\x7f.bin";
    hostile.verdict = "-2+3\xc2\x9b\x31m";
    hostile.chipId = "@SUM(A1)";
    hostile.port = "+1 bad\xff";
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.record(hostile)) << journal.error().text;
  }
  sim::SimD2xx d2xx;
  const std::string shownFile = "/bench/\\x1B[2Jclear\\x7F.bin", jsonFile = "/bench/\\u001b[2Jclear\\u007f.bin";
  struct Form {
    std::vector<std::string> words;
    const std::string& file;
  };
  const Form forms[] = {{{"history"}, shownFile},
                        {{"history", "show", "1"}, shownFile},
                        {{"history", "--csv"}, shownFile},
                        {{"history", "--json"}, jsonFile},
                        {{"history", "show", "1", "--json"}, jsonFile}};
  for (const Form& form : forms) {
    SCOPED_TRACE(form.words.back());
    const CliRun run = RunCli(d2xx, form.words);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(RawControl(run.out), "") << run.out;
    EXPECT_NE(run.out.find(form.file), std::string::npos) << run.out;
  }
  const CliRun show = RunCli(d2xx, {"history", "show", "1"});
  EXPECT_NE(show.out.find("port:            +1 bad\\xFF\n"), std::string::npos) << show.out;
  const CliRun json = RunCli(d2xx, {"history", "--json"});
  EXPECT_NE(json.out.find("\"port\": \"+1 bad\\ufffd\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"verdict\": \"-2+3\\u009b1m\""), std::string::npos) << json.out;
  const CliRun csv = RunCli(d2xx, {"history", "--csv"});
  const auto rows = Lines(csv.out);
  ASSERT_EQ(rows.size(), 2u) << csv.out;
  for (const std::string& value : {std::string("\"'=HYPERLINK(\"\"http://x\"\")\\x0A\\x1B[31m\""),
                                   std::string(",'@SUM(A1),"), std::string(",'+1 bad\\xFF,"),
                                   std::string(",'-2+3\\u009B1m\r")})
    EXPECT_NE(rows[1].find(value), std::string::npos) << value << "\n" << rows[1];
}

// A data folder with no journal yet: the machine forms print their empty form, exit 0. An
// impossible or empty date is bad usage. A damaged field says so, never 1970 or 2^64 - 1.
TEST(HistoryCli, EmptyFormsImpossibleDatesAndDamagedFields) {
  ScratchBackupFolder home;
  sim::SimD2xx d2xx;
  const CliRun json = RunCli(d2xx, {"history", "--json"});
  EXPECT_EQ(json.status, kExitOk);
  EXPECT_EQ(json.out, "[]\n");
  const CliRun csv = RunCli(d2xx, {"history", "--csv"});
  EXPECT_EQ(csv.status, kExitOk);
  ASSERT_EQ(Lines(csv.out).size(), 1u) << csv.out;
  EXPECT_TRUE(csv.out.starts_with("id,started,ended,")) << csv.out;
  EXPECT_FALSE(std::filesystem::exists(JournalFile())) << "reading makes no journal";

  struct Since {
    const char* date;
    int status;
  };
  for (const Since& c : {Since{"2026-02-30", kExitUsage}, Since{"2025-02-29", kExitUsage}, Since{"", kExitUsage},
                         Since{"2026-04-31", kExitUsage}, Since{"2026-12-01T24:00:00Z", kExitUsage},
                         Since{"2024-02-29", kExitOk}, Since{"2026-12-31T23:59:59Z", kExitOk}}) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(RunCli(d2xx, {"history", "--since", c.date}).status, c.status);
  }

  {
    Journal journal(JournalFile());
    ASSERT_TRUE(journal.record(Record("kb90", "read", kBase, true, "T-9")));
    SqliteDb db(JournalFile().string(), false, 100);
    ASSERT_TRUE(db.exec("UPDATE jobs SET started = 'garbage', file_size = -1, first_difference = 'x', "
                        "duration_ms = 'long', success = 7"));
  }
  for (const std::vector<std::string>& words : {std::vector<std::string>{"history"}, {"history", "show", "1"},
                                                {"history", "--json"}, {"history", "--csv"}}) {
    const CliRun run = RunCli(d2xx, words);
    SCOPED_TRACE(words.back());
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("(damaged)"), std::string::npos) << run.out;
    for (const char* shown : {"1970-01-01", "18446744073709551615", "0xFFFFFFFF"})
      EXPECT_EQ(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
    EXPECT_NE(run.out.find("T-9"), std::string::npos) << "the rest of the row stands\n" << run.out;
  }
  const CliRun json2 = RunCli(d2xx, {"history", "--json"});
  for (const char* field : {"\"started\": \"(damaged)\"", "\"file_size\": \"(damaged)\"",
                            "\"first_difference\": \"(damaged)\"", "\"duration_ms\": \"(damaged)\"",
                            "\"success\": \"(damaged)\"", "\"ended\": \"2026-"})
    EXPECT_NE(json2.out.find(field), std::string::npos) << field << "\n" << json2.out;
}

}  // namespace
}  // namespace jig::test

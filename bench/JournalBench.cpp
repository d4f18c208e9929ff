#include "bench/JournalBench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/JobJournal.h"

namespace jig::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kRecordBarMs = 5.0;
constexpr double kHistoryBarMs = 200.0;
constexpr std::size_t kHistoryRecords = 100'000;

JobRecord Sample(std::size_t n) {
  static const char* tasks[] = {"kb90", "npce", "mec16", "ite", "edid"};
  static const char* actions[] = {"read", "write", "read twice", "erase"};
  JobRecord r;
  r.task = tasks[n % 5];
  r.action = actions[n % 4];
  r.started = static_cast<std::time_t>(1'700'000'000 + 60 * n);
  r.ended = r.started + 40;
  r.success = n % 17 != 0;
  r.port = "/dev/ttyUSB0";
  r.firmware = "V41";
  r.file = "/home/bench/dumps/board-" + std::to_string(n) + ".bin";
  r.fileSize = 131072;
  r.fileSha256 = std::string(64, static_cast<char>('a' + n % 6));
  r.label = n % 3 ? "" : "T-" + std::to_string(n / 3);
  r.verdict = r.success ? "RESULT: read OK, the dump is saved." : "RESULT: read FAILED, the file is not written.";
  return r;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Row(const char* name, double ms, double bar, const std::string& note) {
  const bool ok = ms < bar;
  std::printf("%-40s %10.3f ms  (bar %.0f ms%s) %s\n", name, ms, bar, ok ? "" : ", MISSED", note.c_str());
  return ok;
}

}  // namespace

bool RunJournalBench() {
  const fs::path folder = fs::temp_directory_path() / ("jig-bench-journal-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  const fs::path file = folder / kJournalName;
  bool ok = true;
  {
    // What one job pays: open, check the schema, insert, close; on a journal of some size.
    Journal seed(file);
    std::vector<JobRecord> first;
    for (std::size_t n = 0; n < 1000; ++n) first.push_back(Sample(n));
    seed.recordAll(first);
  }
  std::vector<double> record;
  for (std::size_t n = 0; n < 200; ++n) {
    const auto start = Clock::now();
    const auto lines = RecordJob(Sample(1000 + n), LogLanguage::English, file);
    record.push_back(Ms(Clock::now() - start));
    if (!lines.empty()) ok = false;
  }
  ok &= Row("journal: one job's record (median of 200)", Median(record), kRecordBarMs,
            "max " + std::to_string(*std::max_element(record.begin(), record.end())) + " ms");
  {
    Journal journal(file);
    std::vector<JobRecord> many;
    for (std::size_t n = 1200; n < kHistoryRecords; ++n) many.push_back(Sample(n));
    journal.recordAll(many);
  }
  struct Query {
    const char* name;
    HistoryFilter filter;
  };
  const Query queries[] = {{"journal: history, all 100,000", {}},
                           {"journal: history --task npce", {"npce"}},
                           {"journal: history --failed --since", {"", "", "2024-01-01", true}},
                           {"journal: history --label T-1", {"", "T-1"}}};
  for (const Query& q : queries) {
    std::vector<double> times;
    std::size_t rows = 0;
    for (int i = 0; i < 3; ++i) {
      const auto start = Clock::now();
      // As the history command reads it: one job at a time, nothing kept.
      Journal journal(file, false);
      rows = 0;
      journal.eachInHistory(q.filter, [&rows](const JournalEntry&) { ++rows; });
      times.push_back(Ms(Clock::now() - start));
    }
    ok &= Row(q.name, Median(times), kHistoryBarMs, std::to_string(rows) + " rows");
  }
  fs::remove_all(folder);
  return ok;
}

}  // namespace jig::bench

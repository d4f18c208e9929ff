// jig-bench: each transfer against the simulator with wire time on, next to the time the
// wire and the programmer need at best and what the row took beyond it, the host's CPU
// share and each row's peak memory; then the comparison of two dumps and the window
// program's start-up time.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/DumpCompareTime.h"
#include "bench/JournalBench.h"
#include "bench/Startup.h"
#include "bench/Transfers.h"

int main(int argc, char** argv) {
  using namespace jig::bench;
  int repeats = 3;
  // jig-bench [REPEATS [ROW-TEXT]]: runs per row (long rows run a third as often), and
  // only the rows whose name holds ROW-TEXT (then no start-up either).
  if (argc > 1) repeats = std::max(1, std::atoi(argv[1]));
  if (argc > 2) SetRowFilter(argv[2]);
  std::printf("%-40s %8s %10s %10s %7s %8s %9s %8s %10s\n", "transfer", "bytes", "wall ms", "model ms", "ratio", "over ms",
              "cpu/wall", "peak MB", "turn ms");
  for (const Row& row : RunTransfers(repeats)) {
    const Sample& s = row.sample;
    if (!s.ok || s.runs == 0) {
      std::printf("%-40s FAILED\n", row.name.c_str());
      continue;
    }
    std::printf("%-40s %8.0f %10.3f %10.3f %7.3f %8.3f %8.1f%% %8.1f %10.3f\n", row.name.c_str(), s.bytes,
                1e3 * s.wall / s.runs, 1e3 * s.model / s.runs, s.wall / s.model, 1e3 * (s.wall - s.model) / s.runs,
                100.0 * s.cpu / s.wall, row.peakMiB, 1e3 * s.turnaround / s.runs);
    std::fflush(stdout);
    if (row.name.find("ITE write") != std::string::npos)
      std::printf("%-40s %8s %10s %10.3f   (the same exchange at best, latency timer 16 ms)\n", "  ITE write at 16 ms latency", "",
                  "", 1e3 * s.modelAt16Ms / s.runs);
  }
  constexpr const char* kCompareRow = "compare two 192 KiB dumps";
  if (RowSelected(kCompareRow)) {
    const DumpCompareTime compare = MeasureDumpCompare(201);
    if (!compare.ok)
      std::printf("%-40s FAILED\n", kCompareRow);
    else
      std::printf("%-40s %8d %10.3f   (median of %d)\n", kCompareRow, 2 * 192 * 1024, 1e3 * compare.medianSeconds,
                  compare.runs);
  }
  // The journal's rows, as one for the filter ("journal" runs them alone).
  if (RowSelected("journal: a record, and history over 100,000")) RunJournalBench();
  if (argc > 2) return 0;
  const auto probe = std::filesystem::path(argv[0]).parent_path() / "jig-startup-probe";
  const Startup startup = MeasureStartup(probe.string(), 5);
  if (startup.started == 0)
    std::printf("%-40s FAILED\n", "start-up to main window (offscreen)");
  else
    std::printf("%-40s %8s %10.1f %10s %7s %8s %9s %8.1f   (median of %d)\n", "start-up to main window (offscreen)", "",
                1e3 * startup.medianSeconds, "", "", "", "", startup.peakMiB, startup.started);
  return 0;
}

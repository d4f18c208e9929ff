#pragma once
// One run of the command line, as a separate run of the program would make it: its exit
// status and what it printed; a simulated programmer of its own to run it against, and a
// Ctrl-C that comes while it runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <csignal>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Commands.h"
#include "cli/CliInterrupt.h"
#include "job/JobVerdict.h"
#include "sim/SimD2xx.h"

namespace jig::test {

struct CliRun {
  int status;
  std::string out, err;
  // A job's verdict, taken off the end of out (where it must stand); empty when none came.
  std::string verdict = {};
};

// The verdict line comes last of all that is printed, once: it is checked there and taken off,
// so that out ends with the operation's own last line.
inline void TakeVerdict(CliRun& run) {
  std::size_t start = 0;
  while (start < run.out.size()) {
    const std::size_t end = run.out.find('\n', start);
    const std::size_t next = end == std::string::npos ? run.out.size() : end + 1;
    const std::string line = run.out.substr(start, next - start - (end == std::string::npos ? 0 : 1));
    if (IsVerdictLine(line)) {
      EXPECT_TRUE(run.verdict.empty()) << "a second verdict: " << line;
      EXPECT_EQ(next, run.out.size()) << "the verdict is not the last line printed: " << line;
      run.verdict = line;
      run.out.erase(start, next - start);
      continue;
    }
    start = next;
  }
}

inline CliRun RunCli(D2xx& d2xx, const std::vector<std::string>& words, bool force = false) {
  std::ostringstream out, err;
  const int status = RunCommand(d2xx, words, force, out, err);
  CliRun run{status, out.str(), err.str()};
  TakeVerdict(run);
  return run;
}

// The words of a command: its name first.
inline std::vector<std::string> CommandWords(std::string command, std::vector<std::string> words) {
  words.insert(words.begin(), std::move(command));
  return words;
}

// A simulated programmer of its own for the runs of one command; every run closes its handle.
// Its time may run timeScale times faster than the host's (sim::SimD2xx).
struct SimCli {
  explicit SimCli(sim::SimOptions options, unsigned timeScale = 1)
      : d2xx(timeScale), programmer(d2xx.attach(std::move(options))) {}
  SimCli(const SimCli&) = delete;
  SimCli& operator=(const SimCli&) = delete;

  CliRun run(std::string command, std::vector<std::string> words, bool force = false) {
    CliRun result = RunCli(d2xx, CommandWords(std::move(command), std::move(words)), force);
    EXPECT_EQ(d2xx.openHandles(), 0u) << "a run of the command line left the programmer open";
    return result;
  }

  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
};

// Ctrl-C, `count` times `gap` apart, from a thread of its own once `ready` holds (or ten
// seconds have passed). Nothing comes once this is gone: the run it was meant for has ended.
class CtrlCWhen {
 public:
  explicit CtrlCWhen(std::function<bool()> ready, int count = 1, std::chrono::milliseconds gap = {})
      : thread_([ready = std::move(ready), count, gap](std::stop_token stop) {
          using namespace std::chrono_literals;
          const auto deadline = std::chrono::steady_clock::now() + 10s;
          while (!stop.stop_requested() && !ready() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
          for (int i = 0; i < count && !stop.stop_requested(); ++i) {
            std::this_thread::sleep_for(gap);
            if (!stop.stop_requested()) NoteInterrupt(SIGINT);
          }
        }) {}

 private:
  std::jthread thread_;
};

// The host has sent `byte` at least `times` times.
inline std::function<bool()> HostSent(const sim::SimProgrammer& programmer, std::uint8_t byte, std::size_t times = 1) {
  return [&programmer, byte, times] {
    const std::vector<std::uint8_t> sent = programmer.hostBytes();
    return static_cast<std::size_t>(std::count(sent.begin(), sent.end(), byte)) >= times;
  };
}

}  // namespace jig::test

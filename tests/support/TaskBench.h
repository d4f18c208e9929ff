#pragma once
// A task's window on a simulated bench: the backups folder, the simulated programmer, a
// recording view and a scratch folder, with the look-ups every task's tests make on them.
// Each task folder puts its operations, bounds and default image on top of it.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

using Faults = std::map<std::string, std::string>;

// The programmer running image with the given faults.
inline sim::SimOptions Options(std::string image, Faults faults = {}) {
  sim::SimOptions options;
  options.image = std::move(image);
  options.faults = std::move(faults);
  return options;
}

inline std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline std::vector<std::uint8_t> Repeat(std::uint8_t byte, std::size_t count) {
  return std::vector<std::uint8_t>(count, byte);
}

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct TaskBench {
  explicit TaskBench(sim::SimOptions options) : programmer(d2xx.attach(std::move(options))) {}
  TaskBench(const TaskBench&) = delete;
  TaskBench& operator=(const TaskBench&) = delete;

  // Everything the host sent, as bytes and as text.
  std::vector<std::uint8_t> hostBytes() const { return programmer.hostBytes(); }
  std::string host() const {
    const auto bytes = programmer.hostBytes();
    return std::string(bytes.begin(), bytes.end());
  }
  // The host's bytes after the open's 'B'.
  std::vector<std::uint8_t> sent() const {
    auto bytes = programmer.hostBytes();
    if (!bytes.empty() && bytes.front() == 'B') bytes.erase(bytes.begin());
    return bytes;
  }

  // In the log as it stands (a cleared log forgets it).
  bool hasLine(const std::string& line) const { return Has(view.lines(), line); }
  // Ever logged.
  bool logged(const std::string& line) const { return Has(view.allLines(), line); }
  // A line of the log as it stands holds part.
  bool hasLineWith(const std::string& part) const {
    const auto lines = view.lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }
  // The log without its time stamps (English or Russian).
  std::vector<std::string> linesWithoutTime() const {
    std::vector<std::string> out;
    for (const auto& line : view.lines())
      if (!line.starts_with("Current time  ") && !line.starts_with("Текущее время  ")) out.push_back(line);
    return out;
  }
  // The lines after the first one equal to from, of everything logged.
  std::vector<std::string> linesAfter(const std::string& from) const {
    auto all = view.allLines();
    auto it = std::find(all.begin(), all.end(), from);
    return it == all.end() ? std::vector<std::string>{} : std::vector<std::string>(it + 1, all.end());
  }

  ScratchBackupFolder backups;  // first: no backup of a test goes into the real home
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  HookedView view;
  TempDir dir;

 private:
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

}  // namespace jig::test

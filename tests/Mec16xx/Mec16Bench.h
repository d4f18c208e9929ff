#pragma once
// A MEC1609 on the bench: a simulated programmer running "V42", the window's operations
// with short bounds, and a recording view.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "Mec16xx/Mec16Operations.h"
#include "sim/Mec16Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

inline sim::SimOptions V42(std::initializer_list<std::pair<std::string, std::string>> faults = {}) {
  sim::SimOptions options;
  options.image = "V42";
  for (const auto& [name, value] : faults) options.faults[name] = value;
  return options;
}

// Short enough for a fast suite, long enough for a loaded machine under sanitizers.
inline constexpr Mec16Bounds kTestBounds{300, 400, 400, 1500};

struct Mec16Bench {
  explicit Mec16Bench(sim::SimOptions options = V42())
      : programmer(d2xx.attach(std::move(options))), ops(d2xx, view, kTestBounds) {}

  sim::Mec16Sim& chip() { return dynamic_cast<sim::Mec16Sim&>(*programmer.commandSet("MEC16")); }
  std::string host() const {
    const auto bytes = programmer.hostBytes();
    return std::string(bytes.begin(), bytes.end());
  }
  bool logged(const std::string& line) const {
    const auto all = view.allLines();
    return std::find(all.begin(), all.end(), line) != all.end();
  }
  // The lines after the first one equal to from (the whole log when from is empty).
  std::vector<std::string> linesAfter(const std::string& from) const {
    auto all = view.allLines();
    auto it = std::find(all.begin(), all.end(), from);
    return it == all.end() ? std::vector<std::string>{} : std::vector<std::string>(it + 1, all.end());
  }
  // Waits for the end and checks what every ending leaves: idle, nothing open.
  void expectEndedIdle() {
    ASSERT_TRUE(view.waitEnded(std::chrono::seconds(20)));
    ops.joinWorker();
    EXPECT_EQ(ops.mode(), Mec16Mode::None);
    EXPECT_EQ(d2xx.openHandles(), 0u);
    ASSERT_FALSE(view.allLines().empty());
  }

  ScratchBackupFolder backups;  // first: no backup of a test goes into the real home
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  HookedView view;
  Mec16Operations ops;
  TempDir dir;
};

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace jig::test

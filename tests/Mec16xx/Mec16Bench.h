#pragma once
// A MEC1609 on the bench: a simulated programmer running "V42" and the window's
// operations with short bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "Mec16xx/Mec16Operations.h"
#include "sim/Mec16Sim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

inline sim::SimOptions V42(std::initializer_list<std::pair<const std::string, std::string>> faults = {}) {
  return Options("V42", Faults(faults));
}

// The documented wire: the set-up of a MAIN read and of a paged write, and the release
// that ends both.
inline const std::string kMec16ReadSetUp = "B1jwFF391000000001wFF390800000105R000000";
inline const std::string kMec16Release = "wFF390800000100wFF390800000000wFF391000000000";
inline const std::string kMec16WriteSetUp = "B1jrFF390CwFF391000000001wFF390800000106wFF390400000000W";

// A whole MAIN read from its open to its end ("I" "0").
inline std::string Mec16MainRead() { return kMec16ReadSetUp + Repeat("N", 191) + "X" + kMec16Release + "I0"; }

// A write's click opens the programmer; MAIN is then read whole on an open of its own before
// anything changes (the backup, or the look whether it is blank).
inline std::string Mec16ReadBeforeWrite() { return "B" + Mec16MainRead(); }

// The first count pages of source as the write sends them, "N" between them.
inline std::string Mec16Pages(const std::vector<std::uint8_t>& source, int count = 768) {
  std::string pages;
  for (int page = 0; page < count; ++page) {
    if (page != 0) pages += 'N';
    pages.append(reinterpret_cast<const char*>(source.data()) + page * 256, 256);
  }
  return pages;
}

// The last bytes the host sent, for a failure message.
inline std::string Tail(const std::string& host) {
  return host.substr(host.size() - std::min<std::size_t>(host.size(), 24));
}

// Short enough for a fast suite, long enough for a loaded machine under sanitizers.
inline constexpr Mec16Bounds kMec16Bounds{300, 400, 400, 1500};

struct Mec16Bench : TaskBench {
  explicit Mec16Bench(sim::SimOptions options = V42()) : TaskBench(std::move(options)), ops(d2xx, view, kMec16Bounds) {}

  sim::Mec16Sim& chip() { return dynamic_cast<sim::Mec16Sim&>(*programmer.commandSet("MEC16")); }
  // Waits for the end and checks what every ending leaves: idle, nothing open.
  void expectEndedIdle() {
    ASSERT_TRUE(view.waitEnded(std::chrono::seconds(20)));
    ops.job().joinWorker();
    EXPECT_EQ(ops.mode(), Mec16Mode::None);
    EXPECT_EQ(d2xx.openHandles(), 0u);
    ASSERT_FALSE(view.allLines().empty());
  }

  Mec16Operations ops;
};

// A bench whose probe (the ID and register button) has run to its end.
struct ProbedMec16 : Mec16Bench {
  explicit ProbedMec16(sim::SimOptions options = V42()) : Mec16Bench(std::move(options)) {
    ops.probe();
    expectEndedIdle();
  }
};

// A bench whose erase (of MAIN, or of MAIN and INFO) has run to its end: its question
// answered Yes, no backup.
struct ErasedMec16 : Mec16Bench {
  explicit ErasedMec16(sim::SimOptions options, bool info = false) : Mec16Bench(std::move(options)) {
    view.answerYesNo(true);
    ops.erase(info);
    expectEndedIdle();
  }
};

inline std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

// Answers the file dialog with name in the bench's folder and clicks the read.
inline std::string ClickRead(Mec16Bench& bench, bool info, const std::string& name = "dump.bin") {
  const std::string path = bench.dir.file(name);
  bench.view.answerDialog(path);
  bench.ops.read(info);
  return path;
}

// Puts source under name, answers the file dialog (and Yes to a question, when asked to)
// and clicks the write of MAIN.
inline std::string ClickWrite(Mec16Bench& bench, const std::vector<std::uint8_t>& source,
                              const std::string& name = "f.bin", bool yes = true) {
  const std::string path = bench.dir.file(name);
  WriteFileBytes(path, source);
  bench.view.answerDialog(path);
  if (yes) bench.view.answerYesNo(true);
  bench.ops.write(false);
  return path;
}

}  // namespace jig::test

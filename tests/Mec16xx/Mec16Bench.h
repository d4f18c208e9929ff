#pragma once
// A MEC1609 on the bench: a simulated programmer running "V42" and the window's
// operations with short bounds.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "Mec16xx/Mec16Operations.h"
#include "sim/Mec16Sim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

inline sim::SimOptions V42(std::initializer_list<std::pair<const std::string, std::string>> faults = {}) {
  return Options("V42", Faults(faults));
}

// Short enough for a fast suite, long enough for a loaded machine under sanitizers.
inline constexpr Mec16Bounds kMec16Bounds{300, 400, 400, 1500};

struct Mec16Bench : TaskBench {
  explicit Mec16Bench(sim::SimOptions options = V42()) : TaskBench(std::move(options)), ops(d2xx, view, kMec16Bounds) {}

  sim::Mec16Sim& chip() { return dynamic_cast<sim::Mec16Sim&>(*programmer.commandSet("MEC16")); }
  // Waits for the end and checks what every ending leaves: idle, nothing open.
  void expectEndedIdle() {
    ASSERT_TRUE(view.waitEnded(std::chrono::seconds(20)));
    ops.joinWorker();
    EXPECT_EQ(ops.mode(), Mec16Mode::None);
    EXPECT_EQ(d2xx.openHandles(), 0u);
    ASSERT_FALSE(view.allLines().empty());
  }

  Mec16Operations ops;
};

}  // namespace jig::test

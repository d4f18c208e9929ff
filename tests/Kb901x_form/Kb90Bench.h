#pragma once
// A simulated KB90xx programmer on the bench; each test makes the operations with the
// bounds it needs.
#include <cstdint>
#include <vector>

#include "Kb901x_form/Kb90Operations.h"
#include "sim/Kb90Sim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

inline constexpr std::size_t kKb90Image = 131072;

// Short bounds so that a silent programmer ends a test in a fraction of a second.
inline Kb90Bounds Kb90ShortBounds() { return {200, 200, 200, 200, 200, 200}; }

// What the host sends for one documented read, from the version query on.
inline std::vector<std::uint8_t> Kb90ReadWire() {
  std::vector<std::uint8_t> wire = {'B', 'V', 'R'};
  wire.insert(wire.end(), 511, 'N');
  wire.insert(wire.end(), {'X', 'I'});
  return wire;
}

// What the host sends for a full write of image, from the version query on.
inline std::vector<std::uint8_t> Kb90WriteWire(const std::vector<std::uint8_t>& image, std::uint8_t end) {
  std::vector<std::uint8_t> wire = {'B', 'V', 'W'};
  for (int k = 0; k < 512; ++k) {
    wire.insert(wire.end(), image.begin() + k * 256, image.begin() + (k + 1) * 256);
    if (k < 511) wire.push_back('N');
  }
  wire.insert(wire.end(), {'X', 'S', end});
  return wire;
}

struct Kb90Bench : TaskBench {
  explicit Kb90Bench(sim::SimOptions options = {}) : TaskBench(std::move(options)) {}
  sim::Kb90Sim& chip() { return dynamic_cast<sim::Kb90Sim&>(*programmer.commandSet("KB90")); }
};

}  // namespace jig::test

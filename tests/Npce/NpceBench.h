#pragma once
// A simulated NPCE programmer on the bench with the window's operations in front of it.
#include <cstdint>
#include <string>
#include <vector>

#include "Npce/NpceOperations.h"
#include "sim/NpceSim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

// Short bounds so a silent programmer costs a test a fraction of a second.
inline NpceBounds NpceShortBounds() {
  return {.eraseMs = 1000, .blankCheckMs = 500, .blockMs = 200, .answerMs = 200, .drainMs = 500, .byteTries = 1};
}

inline constexpr const char* kNpceVersion = "Q27 NPCE288 FW 1.7 bench units\\r\\n";
inline constexpr const char* kNpceVersionLine = "Version FW -> Q27 NPCE288 FW 1.7 bench units  ";

inline sim::SimOptions NpceOptions(Faults faults = {}, std::string stateDir = "") {
  sim::SimOptions options = Options("NPCE", std::move(faults));
  if (!options.has("npce-erase-ms")) options.faults["npce-erase-ms"] = "10";
  // A version answer of the full 32 bytes that the open reads spares each test the
  // open's 500 ms read time-out.
  if (!options.has("version")) options.faults["version"] = kNpceVersion;
  options.stateDir = std::move(stateDir);
  return options;
}

struct NpceBench : TaskBench {
  explicit NpceBench(Faults faults = {}, NpceBounds bounds = NpceShortBounds())
      : NpceBench(NpceOptions(std::move(faults)), bounds) {}
  NpceBench(sim::SimOptions options, NpceBounds bounds) : TaskBench(std::move(options)), ops(d2xx, view, bounds) {}

  sim::NpceSim& chip() { return dynamic_cast<sim::NpceSim&>(*programmer.commandSet("NPCE")); }

  bool idle() const {
    return ops.mode() == NpceMode::NONE && d2xx.openHandles() == 0 && view.enabled("NPCE_READ") != false &&
           view.enabled("NPCE_WRITE") != false && view.enabled("EXIT_NPCE") != false;
  }

  NpceOperations ops;
};

// 'w' and the block, for the first blocks of 256 bytes of the image.
inline std::vector<std::uint8_t> WriteBlocks(const std::vector<std::uint8_t>& image, int blocks) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < blocks; ++i) {
    bytes.push_back('w');
    bytes.insert(bytes.end(), image.begin() + i * 256, image.begin() + (i + 1) * 256);
  }
  return bytes;
}

}  // namespace jig::test

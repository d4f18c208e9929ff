#pragma once
// A simulated KB90xx programmer on the bench, a recording window and a scratch folder;
// backups taken by a write go to the bench's own folder.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Kb901x_form/Kb90Operations.h"
#include "sim/Kb90Sim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

inline constexpr std::size_t kKb90Image = 131072;

// Short bounds so that a silent programmer ends a test in a fraction of a second.
inline Kb90Bounds ShortBounds() { return {200, 200, 200, 200, 200, 200}; }

inline std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) ^ (i >> 8));
  return bytes;
}

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

struct Kb90Bench {
  explicit Kb90Bench(sim::SimOptions options = {}) : programmer(d2xx.attach(options)) {}
  sim::Kb90Sim& chip() { return dynamic_cast<sim::Kb90Sim&>(*programmer.commandSet("KB90")); }
  bool hasLine(const std::string& line) const {
    const auto lines = view.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // The log without its time stamps.
  std::vector<std::string> linesWithoutTime() const {
    std::vector<std::string> out;
    for (const auto& line : view.lines())
      if (line.rfind("Current time  ", 0) != 0) out.push_back(line);
    return out;
  }

  ScratchBackupFolder home;
  TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  RecordingView view;
};

}  // namespace jig::test

#pragma once
// A simulated NPCE programmer on the bench with the window's operations in front of it.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Npce/NpceOperations.h"
#include "sim/NpceSim.h"
#include "sim/SimD2xx.h"
#include "tests/support/FileSafety.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig::test {

// Short bounds so a silent programmer costs a test a fraction of a second.
inline NpceBounds ShortBounds() {
  NpceBounds bounds;
  bounds.eraseMs = 1000;
  bounds.blankCheckMs = 500;
  bounds.blockMs = 200;
  bounds.answerMs = 200;
  bounds.drainMs = 500;
  bounds.byteTries = 1;
  return bounds;
}

inline constexpr const char* kFullVersion = "Q27 NPCE288 FW 1.7 bench units\\r\\n";
inline constexpr const char* kFullVersionLine = "Version FW -> Q27 NPCE288 FW 1.7 bench units  ";

inline sim::SimOptions NpceOptions(std::map<std::string, std::string> faults = {}, std::string stateDir = "") {
  sim::SimOptions options;
  options.image = "NPCE";
  options.faults = std::move(faults);
  if (!options.has("npce-erase-ms")) options.faults["npce-erase-ms"] = "10";
  // A version answer of the full 32 bytes that the open reads spares each test the
  // open's 500 ms read time-out.
  if (!options.has("version")) options.faults["version"] = kFullVersion;
  options.stateDir = std::move(stateDir);
  return options;
}

using Faults = std::map<std::string, std::string>;

struct NpceBench {
  explicit NpceBench(Faults faults = {}, NpceBounds bounds = ShortBounds())
      : NpceBench(NpceOptions(std::move(faults)), bounds) {}
  NpceBench(sim::SimOptions options, NpceBounds bounds) : programmer(d2xx.attach(std::move(options))), ops(d2xx, view, bounds) {}

  sim::NpceSim& chip() { return dynamic_cast<sim::NpceSim&>(*programmer.commandSet("NPCE")); }

  // The host's bytes after the open's 'B'.
  std::vector<std::uint8_t> sent() const {
    auto bytes = programmer.hostBytes();
    if (!bytes.empty() && bytes.front() == 'B') bytes.erase(bytes.begin());
    return bytes;
  }

  bool hasLine(const std::string& line) const {
    const auto lines = view.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  bool idle() const {
    return ops.Mode_NPCE == NpceMode::NONE && d2xx.openHandles() == 0 && view.enabled("NPCE_READ") != false &&
           view.enabled("NPCE_WRITE") != false && view.enabled("EXIT_NPCE") != false;
  }

  ScratchBackupFolder home;  // a write's backups stay in the bench
  TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimProgrammer& programmer;
  RecordingView view;
  NpceOperations ops;
};

inline std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 37u + seed) ^ (i >> 8));
  return bytes;
}

inline std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline std::vector<std::uint8_t> Repeat(std::uint8_t byte, std::size_t count) {
  return std::vector<std::uint8_t>(count, byte);
}

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

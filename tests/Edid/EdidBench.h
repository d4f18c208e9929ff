#pragma once
// An EDID EEPROM on the bench: the simulated programmer with its EEPROM model and the
// window's operations with short bounds, so that a silent programmer ends a test quickly.
#include <string>
#include <utility>
#include <vector>

#include "Edid/EdidOperations.h"
#include "sim/EdidSim.h"
#include "tests/support/TaskBench.h"

namespace jig::test {

inline constexpr EdidBounds kEdidShort{300, 200, 300};

// Real panels' EDIDs, kept with the tests.
inline std::vector<std::uint8_t> Panel(const std::string& name) { return PanelEdid(name); }

struct EdidBench : TaskBench {
  // The documented exchanges alone: the backup read before a write is off unless asked for.
  explicit EdidBench(sim::SimOptions options = {}, bool backup = false) : TaskBench(std::move(options)) {
    ops.setBackup(backup);
  }
  sim::EdidSim& chip() { return dynamic_cast<sim::EdidSim&>(*programmer.commandSet("EDID")); }
  // The dump lines (":0000 ...") ever logged.
  std::vector<std::string> dumpLines() const {
    std::vector<std::string> dump;
    for (const auto& line : view.allLines())
      if (!line.empty() && line[0] == ':') dump.push_back(line);
    return dump;
  }
  // Puts bytes under name in the scratch folder.
  std::string file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    WriteFileBytes(dir.file(name), bytes);
    return dir.file(name);
  }

  EdidOperations ops{d2xx, view, kEdidShort};
};

}  // namespace jig::test

#include "sim/SimCommandSets.h"

namespace jig::sim {

std::vector<FaultName> CommandSetFaultNames() {
  std::vector<FaultName> all;
  for (auto list : {BootLoaderSimFaults(), EdidSimFaults(), Kb90SimFaults(), KeyboardSimFaults(),
                    Mec16SimFaults(), IteSimFaults(), NpceSimFaults()})
    all.insert(all.end(), list.begin(), list.end());
  return all;
}

}  // namespace jig::sim

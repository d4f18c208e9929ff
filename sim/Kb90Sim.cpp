// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class Kb90Sim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeKb90Sim(const SimOptions&) { return std::make_unique<Kb90Sim>(); }
std::vector<FaultName> Kb90SimFaults() { return {}; }

}  // namespace jig::sim

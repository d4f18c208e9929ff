// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class NpceSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeNpceSim(const SimOptions&) { return std::make_unique<NpceSim>(); }
std::vector<FaultName> NpceSimFaults() { return {}; }

}  // namespace jig::sim

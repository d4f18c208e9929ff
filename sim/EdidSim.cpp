// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class EdidSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeEdidSim(const SimOptions&) { return std::make_unique<EdidSim>(); }
std::vector<FaultName> EdidSimFaults() { return {}; }

}  // namespace jig::sim

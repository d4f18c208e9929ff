// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class BootLoaderSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeBootLoaderSim(const SimOptions&) { return std::make_unique<BootLoaderSim>(); }
std::vector<FaultName> BootLoaderSimFaults() { return {}; }

}  // namespace jig::sim

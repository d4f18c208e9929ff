// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class IteSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeIteSim(const SimOptions&) { return std::make_unique<IteSim>(); }
std::vector<FaultName> IteSimFaults() { return {}; }

}  // namespace jig::sim

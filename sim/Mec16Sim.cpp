// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class Mec16Sim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeMec16Sim(const SimOptions&) { return std::make_unique<Mec16Sim>(); }
std::vector<FaultName> Mec16SimFaults() { return {}; }

}  // namespace jig::sim

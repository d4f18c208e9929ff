// Stand-in until the command set is modelled: takes no byte, so the programmer stays
// silent to the commands of this set.
#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
class KeyboardSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t, SimContext&) override { return false; }
  bool busy() const override { return false; }
};
}  // namespace

std::unique_ptr<SimCommandSet> MakeKeyboardSim(const SimOptions&) { return std::make_unique<KeyboardSim>(); }
std::vector<FaultName> KeyboardSimFaults() { return {}; }

}  // namespace jig::sim

#include "sim/ExactWakeUps.h"

namespace jig::sim {
// Windows has no per-thread timer slack; the simulated releases keep the system's timer.
void ExactWakeUps() {}
}  // namespace jig::sim

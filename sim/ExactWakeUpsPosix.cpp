#include "sim/ExactWakeUps.h"

#include <sys/prctl.h>

namespace jig::sim {
void ExactWakeUps() {
  thread_local bool done = false;
  if (done) return;
  done = true;
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  // the kernel's default is 50 us
}
}  // namespace jig::sim

#pragma once
// The simulated programmers' clock. It may run a whole number of times faster than the
// host's: wire time, the chips' own work and the host's time-outs through D2xx all count
// on it, so a run keeps its order of events and its bounds and takes 1/scale of the time.
// At scale 1 it is the steady clock itself.
#include <chrono>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class ScaledClock {
 public:
  explicit ScaledClock(unsigned scale = 1) : scale_(scale < 1 ? 1 : scale), origin_(SimClock::now()) {}

  unsigned scale() const { return static_cast<unsigned>(scale_); }
  SimTime now() const { return origin_ + (SimClock::now() - origin_) * scale_; }
  // The steady clock's time at which this clock shows at (a sleeper wakes then, not before).
  SimClock::time_point realTimeOf(SimTime at) const {
    const auto since = at - origin_;
    if (since <= SimClock::duration::zero()) return origin_;
    return origin_ + (since + SimClock::duration(scale_ - 1)) / scale_;
  }

 private:
  SimClock::rep scale_;
  SimClock::time_point origin_;
};

}  // namespace jig::sim

#pragma once
// A bound over several waits, kept on the device's own clock (D2xx::Now): the waits inside
// it count their time-outs on that clock too, so both agree however fast it runs.
#include <chrono>

#include "link/D2xx.h"
#include "link/MsLeft.h"

namespace jig {

class WaitDeadline {
 public:
  WaitDeadline(const D2xx& d2xx, DWORD ms) : d2xx_(&d2xx), at_(d2xx.Now() + std::chrono::milliseconds(ms)) {}

  // Starts the bound again from now.
  void restart(DWORD ms) { at_ = d2xx_->Now() + std::chrono::milliseconds(ms); }
  bool passed() const { return d2xx_->Now() >= at_; }
  // Whole milliseconds left on the device's clock, rounded up as MsLeft rounds them.
  DWORD msLeft() const { return MsLeft(at_, d2xx_->Now()); }

 private:
  const D2xx* d2xx_;
  std::chrono::steady_clock::time_point at_;
};

}  // namespace jig

#include "gui/TransferClock.h"

#include <cstdio>

namespace jig {

void TransferClock::progress(int pass, int done, int total, Clock::time_point now) {
  if (!started_ || stoppedAt_ || pass != pass_ || total != total_ || done < done_) {
    started_ = now;
    stoppedAt_.reset();
    startDone_ = done;
  }
  pass_ = pass;
  done_ = done;
  total_ = total;
}

void TransferClock::stop(Clock::time_point now) {
  if (running()) stoppedAt_ = now;
}

std::string TransferClock::Duration(std::chrono::seconds time) {
  const long long all = time.count() < 0 ? 0 : time.count();
  char text[32];
  if (all >= 3600) std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", all / 3600, all / 60 % 60, all % 60);
  else std::snprintf(text, sizeof text, "%lld:%02lld", all / 60, all % 60);
  return text;
}

std::string TransferClock::text(Clock::time_point now) const {
  if (!started_) return {};
  const Clock::duration elapsed = stoppedAt_.value_or(now) - *started_;
  const std::string shown = Duration(std::chrono::duration_cast<std::chrono::seconds>(elapsed));
  const bool whole = total_ > 0 && done_ >= total_;
  if (stoppedAt_ && !whole) return shown;
  if (whole) return shown + " / ~0:00";
  // The pace is the pass's own: a pass that began part way counts from where it began.
  const long long moved = static_cast<long long>(done_) - startDone_;
  if (total_ <= 0 || moved <= 0 || moved * 100 < static_cast<long long>(total_) * kEstimateFromPercent)
    return shown + " / ~?";
  // Rounded up: "~0:00" is kept for a transfer that is done.
  const auto left = elapsed * (total_ - done_) / moved;
  return shown + " / ~" + Duration(std::chrono::ceil<std::chrono::seconds>(left));
}

}  // namespace jig

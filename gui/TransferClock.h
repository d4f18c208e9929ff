#pragma once
// The time a transfer has taken and what it still needs, for the text on its gauge:
// "0:12 / ~0:30" (elapsed / remaining). A pass counts from its first report; another phase,
// another total or progress that goes back starts a new pass, and the clock with it. The
// estimate assumes the rest goes at the pace so far, and is given once a few percent are
// done ("~?" before). Times are passed in, so the steady clock of the window and a test's
// own agree.
#include <chrono>
#include <optional>
#include <string>

namespace jig {

class TransferClock {
 public:
  using Clock = std::chrono::steady_clock;
  // Below this share done the pace is still the start's, not the transfer's: no estimate.
  static constexpr int kEstimateFromPercent = 3;

  // The running pass's progress at now; pass tells passes apart (a job's phase).
  void progress(int pass, int done, int total, Clock::time_point now);
  // The transfer ended: its time stands still.
  void stop(Clock::time_point now);
  // Forgets the last transfer: no text until the next one reports.
  void clear() { *this = {}; }
  bool running() const { return started_ && !stoppedAt_; }

  // Empty before a pass has reported. A pass that ended short shows its time alone.
  std::string text(Clock::time_point now) const;
  // "0:07", "12:34", "1:02:03".
  static std::string Duration(std::chrono::seconds time);

 private:
  std::optional<Clock::time_point> started_, stoppedAt_;
  int pass_ = 0, done_ = 0, total_ = 0;
  int startDone_ = 0;  // where the pass began
};

}  // namespace jig

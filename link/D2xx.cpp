#include "link/D2xx.h"

#include <algorithm>

#include "link/Bounds.h"
#include "link/MsLeft.h"

namespace jig {

FT_STATUS D2xx::WaitForRxOrStop(FT_HANDLE handle, DWORD count, DWORD timeoutMs, DWORD* available,
                                const std::stop_token& stop) {
  const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    *available = 0;
    if (stop.stop_requested()) return FT_WAIT_STOPPED;
    const DWORD left = MsLeft(deadline, Now());
    const FT_STATUS status = WaitForRx(handle, count, std::min<DWORD>(left, limits::kStopLookMs), available);
    if (status != FT_WAIT_TIMEOUT || left <= limits::kStopLookMs) return status;
  }
}

}  // namespace jig

#pragma once
// The keyboard matrix test's bounds, each with the reason for its value.
#include <cstdint>

namespace jig::limits {

// A report follows each "u" or "U" within milliseconds (the programmer scans 32 lines);
// two seconds of silence mean the programmer or its cable is gone.
inline constexpr std::uint32_t kKeyboardReportTimeoutMs = 2000;
// Timer_keyboard_scan ticks every 100 ms; no tick for five seconds means the window's
// timer is no longer running, and the scan must not wait for it for ever.
inline constexpr std::uint32_t kKeyboardTickTimeoutMs = 5000;
inline constexpr std::uint32_t kKeyboardTickIntervalMs = 100;
// What one read takes and what one report may hold before its "&".
inline constexpr std::uint32_t kKeyboardBufferBytes = 1024;

// The command line: a net over a whole operation; each step above has its own bound.
// A keyboard scan lasts this long unless --seconds says otherwise, and a day at most.
inline constexpr long kKeyboardCliScanSeconds = 10;
inline constexpr long kKeyboardCliLongestScanSeconds = 24 * 3600;

}  // namespace jig::limits

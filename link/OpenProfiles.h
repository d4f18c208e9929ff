#pragma once
// How a task window opens the programmer: one row per window, kept with its family's row.
#include <cstdint>
#include <string_view>

#include "view/LogLanguage.h"

namespace jig {

enum class AfterReady {
  ZeroTimeouts,     // time-outs 0/0 (no limit), latency 2 ms
  TimeoutsAgain,    // the query's time-outs set again, latency 2 ms
  KeepTimeouts,     // latency 2 ms, the query's time-outs stay
};

struct OpenProfile {
  std::string_view window;
  std::uint32_t readLength;      // 3: raw compare of the tag; 32: filtered text, substring
  std::uint32_t queryTimeoutMs;  // read and write time-outs during the query
  bool latencyBeforeQuery;
  std::string_view tag;
  AfterReady after;
  std::string_view notFoundMessage;
  std::string_view versionLinePrefix;  // empty: no version line
  bool logsConfigurationSteps;         // the keyboard window logs each step of the set-up
  LogLanguage language;                // of our own lines (the documented ones are as they are)
};

// Each family defines its window's profile beside its registration row, in namespace
// profiles, where these two not-found lines are at hand.
namespace profiles {
inline constexpr std::string_view kNotFoundArrow = "-->  The programmer is not found or does not respond";
inline constexpr std::string_view kNotFound = "The programmer is not found or does not respond";
}  // namespace profiles

}  // namespace jig

#pragma once
// How each task window opens the programmer: one row per window.
#include <cstdint>
#include <string_view>

#include "link/LogLanguage.h"

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

namespace profiles {
extern const OpenProfile kEdid;
extern const OpenProfile kKb90;
extern const OpenProfile kKeyboard;
extern const OpenProfile kMec16;
extern const OpenProfile kIte;
extern const OpenProfile kNpce;
}  // namespace profiles

}  // namespace jig

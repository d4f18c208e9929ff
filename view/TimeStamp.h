#pragma once
#include <string>

namespace jig {

inline constexpr const char* kCurrentTime = "Current time  ";
inline constexpr const char* kCurrentTimeRu = "Текущее время  ";

// The local time of day in the long time format: hours, minutes, seconds.
std::string LongTimeOfDay();
// "Current time  " (or its Russian) and the time of day: the stamp the windows log.
std::string TimeStampLine(bool russian = false);

}  // namespace jig

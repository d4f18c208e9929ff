#include "view/TimeStamp.h"

#include <ctime>

#include "files/PlatformFiles.h"

namespace jig {

std::string LongTimeOfDay() {
  const std::tm local = platform::LocalTime(std::time(nullptr));
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

std::string TimeStampLine(bool russian) { return (russian ? kCurrentTimeRu : kCurrentTime) + LongTimeOfDay(); }

}  // namespace jig

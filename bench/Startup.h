#pragma once
// Start-up time: from exec of the window program until its main window first paints
// (offscreen platform), the median of several starts.
#include <string>

namespace jig::bench {

struct Startup {
  double medianSeconds = 0;
  double peakMiB = 0;
  int started = 0;  // starts that reached the window
};

Startup MeasureStartup(const std::string& probe, int starts);

}  // namespace jig::bench

#pragma once
// The comparison of two 192 KiB dumps (a MEC16xx MAIN image and its read-back with a few
// scattered differences), as the compare command and window make it: the median of many.
namespace jig::bench {

struct DumpCompareTime {
  double medianSeconds = 0;
  int runs = 0;
  bool ok = false;  // every run found the differences planted
};

DumpCompareTime MeasureDumpCompare(int runs);

}  // namespace jig::bench

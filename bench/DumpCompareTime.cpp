#include "bench/DumpCompareTime.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "files/DumpCompare.h"

namespace jig::bench {

namespace {
constexpr std::size_t kDumpSize = 192 * 1024;
// One byte, a short run, a page's worth, bytes near the end: where a failed verify differs.
constexpr DumpRange kPlanted[] = {{0x100, 1}, {0x4A21, 3}, {0x10000, 256}, {0x2FFF0, 2}};
}  // namespace

DumpCompareTime MeasureDumpCompare(int runs) {
  std::vector<std::uint8_t> image(kDumpSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  std::vector<std::uint8_t> readBack = image;
  for (const DumpRange& range : kPlanted)
    for (std::size_t i = range.start; i < range.start + range.length; ++i) readBack[i] ^= 0xFF;
  const std::vector<DumpRange> expected(std::begin(kPlanted), std::end(kPlanted));

  DumpCompareTime time;
  time.ok = true;
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const DumpComparison comparison = CompareDumpRanges(image, readBack);
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    time.ok = time.ok && comparison.ranges == expected;
  }
  time.runs = runs;
  if (seconds.empty()) return time;
  std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
  time.medianSeconds = seconds[static_cast<std::size_t>(runs / 2)];
  return time;
}

}  // namespace jig::bench

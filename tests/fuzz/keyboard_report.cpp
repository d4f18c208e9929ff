// The keyboard report decoder: every pair it names has an indicator, and nothing after
// the first "&" counts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "Keyboard/KeyboardReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> report(data, size);
  const auto pairs = jig::keyboard::DecodeReport(report);
  for (const auto& pair : pairs)
    if (!jig::keyboard::HasIndicator(pair) || jig::keyboard::PairNumber(pair) < 2 || jig::keyboard::PairNumber(pair) > 992) std::abort();
  const auto end = std::find(report.begin(), report.end(), jig::keyboard::kReportEnd);
  if (end != report.end()) {
    const auto upToEnd = jig::keyboard::DecodeReport(report.first(static_cast<std::size_t>(end - report.begin()) + 1));
    if (upToEnd != pairs) std::abort();
  }
  return 0;
}

#pragma once
// The keyboard firmware's report: groups of ">" row column... ended by "&"; and the
// indicator that each pair of matrix lines has.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace jig::keyboard {

inline constexpr int kMatrixLines = 32;
inline constexpr std::uint8_t kGroupStart = 0x3E;  // ">"
inline constexpr std::uint8_t kReportEnd = 0x26;   // "&"

struct LinePair {
  int row = 0;
  int column = 0;
  bool operator==(const LinePair&) const = default;
};

// (row - 1) * 32 + column: 2 for (1, 2) up to 992 for (31, 32).
int PairNumber(LinePair pair);
// Only pairs with 1 <= row < column <= 32 have an indicator.
bool HasIndicator(LinePair pair);
// "Shape" + the pair's number.
std::string IndicatorName(LinePair pair);
// Every pair that has an indicator, row by row.
std::vector<LinePair> AllPairs();

// The pairs a report names, in order, up to its first "&"; pairs without an indicator
// are skipped.
std::vector<LinePair> DecodeReport(std::span<const std::uint8_t> report);

}  // namespace jig::keyboard

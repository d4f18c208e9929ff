#include "Keyboard/KeyboardReport.h"

#include "Keyboard/KeyboardControls.h"

namespace jig::keyboard {

int PairNumber(LinePair pair) { return (pair.row - 1) * kMatrixLines + pair.column; }

bool HasIndicator(LinePair pair) { return pair.row >= 1 && pair.row < pair.column && pair.column <= kMatrixLines; }

std::string IndicatorName(LinePair pair) { return keyboard::control::kShapePrefix + std::to_string(PairNumber(pair)); }

std::vector<LinePair> AllPairs() {
  std::vector<LinePair> pairs;
  for (int row = 1; row < kMatrixLines; ++row)
    for (int column = row + 1; column <= kMatrixLines; ++column) pairs.push_back({row, column});
  return pairs;
}

std::vector<LinePair> DecodeReport(std::span<const std::uint8_t> report) {
  std::vector<LinePair> pairs;
  int row = 0;
  for (std::uint8_t byte : report) {
    if (byte == kReportEnd) break;
    if (byte == kGroupStart) {
      row = 0;
    } else if (row == 0) {
      row = byte;
    } else {
      const LinePair pair{row, byte};
      if (HasIndicator(pair)) pairs.push_back(pair);
    }
  }
  return pairs;
}

}  // namespace jig::keyboard

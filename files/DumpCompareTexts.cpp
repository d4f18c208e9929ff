#include "files/DumpCompareTexts.h"

#include "view/CharFilter.h"

namespace jig {

namespace {

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string HexAddress(std::size_t address) { return "0x" + Hex8(static_cast<std::uint32_t>(address)); }

std::string RangeLine(const DumpRange& range) {
  return HexAddress(range.start) + "-" + HexAddress(range.last()) + "  " + Counted(range.length, "byte", "bytes");
}

std::string MoreRangesLine(std::size_t notListed) { return "... " + Counted(notListed, "more range", "more ranges"); }

std::string RangePositionLine(std::size_t index, std::size_t count, const DumpRange& range) {
  return "Difference " + std::to_string(index + 1) + " of " + std::to_string(count) + ": " + RangeLine(range);
}

std::string ComparisonSummary(const DumpComparison& comparison) {
  if (comparison.identical())
    return "The two dumps are identical, " + Counted(comparison.sizeA, "byte", "bytes") + " each.";
  std::string text = Counted(comparison.ranges.size(), "range differs", "ranges differ") + ", " +
                     Counted(comparison.differingBytes, "byte", "bytes") + " in all, the first at " +
                     HexAddress(comparison.firstAddress());
  if (comparison.sizeA != comparison.sizeB)
    text += "; the sizes differ: " + std::to_string(comparison.sizeA) + " and " +
            Counted(comparison.sizeB, "byte", "bytes");
  return text + ".";
}

}  // namespace jig

#pragma once
// What a comparison of two dumps says, the same on the command line and in the window.
#include <cstddef>
#include <string>

#include "files/DumpCompare.h"

namespace jig {

// "0x0001FFFF".
std::string HexAddress(std::size_t address);
// "0x00001230-0x0000123F  16 bytes": first and last address, both included.
std::string RangeLine(const DumpRange& range);
// The command line lists this many ranges, then how many more there are.
inline constexpr std::size_t kMaxListedRanges = 100;
// "... 12 more ranges"
std::string MoreRangesLine(std::size_t notListed);
// "Difference 2 of 3: 0x00001230-0x0000123F  16 bytes" (index counts from 0).
std::string RangePositionLine(std::size_t index, std::size_t count, const DumpRange& range);
// "3 ranges differ, 48 bytes in all, the first at 0x00001230." (and the two sizes when they
// are not the same), or "The two dumps are identical, 196608 bytes each."
std::string ComparisonSummary(const DumpComparison& comparison);

}  // namespace jig

#pragma once
// Two dumps side by side: where they differ, as runs of differing bytes, and the 16-byte
// rows a hex view shows of them. A byte one image has and the other lacks differs, as it
// does for verify and read-twice.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jig {

struct DumpRange {
  std::size_t start = 0;
  std::size_t length = 0;  // never 0 in a comparison's list
  std::size_t last() const { return start + length - 1; }
  bool operator==(const DumpRange&) const = default;
};

// Calls onRange for each run of differing bytes, in address order; two runs never touch
// (adjacent differing bytes, and the bytes one image lacks, make one run).
void ForEachDifferingRange(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                           const std::function<void(const DumpRange&)>& onRange);

struct DumpComparison {
  std::vector<DumpRange> ranges;
  std::size_t differingBytes = 0;
  std::size_t sizeA = 0;
  std::size_t sizeB = 0;
  bool identical() const { return ranges.empty(); }
  // The first differing address; 0 when identical.
  std::size_t firstAddress() const { return ranges.empty() ? 0 : ranges.front().start; }
};

DumpComparison CompareDumpRanges(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

// One row of a side-by-side hex view: the bytes of each image at address..address+15
// (nothing past an image's end) and which of them differ.
inline constexpr std::size_t kHexRowBytes = 16;

struct HexRow {
  std::size_t address = 0;
  std::array<std::optional<std::uint8_t>, kHexRowBytes> a{};
  std::array<std::optional<std::uint8_t>, kHexRowBytes> b{};
  std::array<bool, kHexRowBytes> differs{};  // a byte beyond both images' ends differs not
};

// Rows needed to show the longer image.
std::size_t HexRowCount(std::size_t sizeA, std::size_t sizeB);
HexRow MakeHexRow(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::size_t row);
// The row that holds address.
inline std::size_t HexRowOf(std::size_t address) { return address / kHexRowBytes; }

}  // namespace jig

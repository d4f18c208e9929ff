#include "files/DumpCompare.h"

#include <algorithm>
#include <cstring>

namespace jig {

namespace {

// Equal stretches are the common case (a verify that failed in one page of a 192 KiB
// image): they are skipped a chunk at a time by memcmp, and only a chunk that differs is
// looked at byte by byte.
constexpr std::size_t kEqualChunk = 64;

std::size_t NextDiffering(const std::uint8_t* a, const std::uint8_t* b, std::size_t from, std::size_t end) {
  while (end - from >= kEqualChunk && std::memcmp(a + from, b + from, kEqualChunk) == 0) from += kEqualChunk;
  while (from < end && a[from] == b[from]) ++from;
  return from;
}

std::size_t NextEqual(const std::uint8_t* a, const std::uint8_t* b, std::size_t from, std::size_t end) {
  while (from < end && a[from] != b[from]) ++from;
  return from;
}

}  // namespace

void ForEachDifferingRange(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                           const std::function<void(const DumpRange&)>& onRange) {
  const std::size_t common = std::min(a.size(), b.size());
  const std::size_t longer = std::max(a.size(), b.size());
  std::size_t at = 0;
  while ((at = NextDiffering(a.data(), b.data(), at, common)) < common) {
    const std::size_t end = NextEqual(a.data(), b.data(), at, common);
    // A run that reaches the shorter image's end goes on through the bytes it lacks.
    onRange({at, (end == common ? longer : end) - at});
    at = end;
  }
  if (longer > common && (common == 0 || a[common - 1] == b[common - 1])) onRange({common, longer - common});
}

DumpComparison CompareDumpRanges(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  DumpComparison comparison;
  comparison.sizeA = a.size();
  comparison.sizeB = b.size();
  ForEachDifferingRange(a, b, [&comparison](const DumpRange& range) {
    comparison.ranges.push_back(range);
    comparison.differingBytes += range.length;
  });
  return comparison;
}

std::size_t HexRowCount(std::size_t sizeA, std::size_t sizeB) {
  return (std::max(sizeA, sizeB) + kHexRowBytes - 1) / kHexRowBytes;
}

HexRow MakeHexRow(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::size_t row) {
  HexRow hex;
  hex.address = row * kHexRowBytes;
  for (std::size_t i = 0; i < kHexRowBytes; ++i) {
    const std::size_t at = hex.address + i;
    if (at < a.size()) hex.a[i] = a[at];
    if (at < b.size()) hex.b[i] = b[at];
    hex.differs[i] = hex.a[i] != hex.b[i];
  }
  return hex;
}

}  // namespace jig

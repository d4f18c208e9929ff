// Where two dumps differ, as ranges: the scan behind the compare command and window, and
// behind verify and read-twice (CompareDumps folds the same ranges into first + count).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "files/DumpChecks.h"
#include "files/DumpCompare.h"
#include "files/DumpCompareTexts.h"
#include "tests/support/FileSafetyCases.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using Image = std::vector<std::uint8_t>;
using Ranges = std::vector<DumpRange>;

Image Dump(std::size_t size) { return test::Pattern(size, 5); }

Image Flipped(Image image, const std::vector<std::size_t>& at) {
  for (const std::size_t i : at) image[i] ^= 0x5A;
  return image;
}

Image Inverted(Image image) {
  for (std::uint8_t& byte : image) byte = static_cast<std::uint8_t>(~byte);
  return image;
}

// The ranges found one byte at a time, the plainest way there is.
Ranges ByteByByte(const Image& a, const Image& b) {
  Ranges ranges;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const bool differs = i >= a.size() || i >= b.size() || a[i] != b[i];
    if (!differs) continue;
    if (!ranges.empty() && ranges.back().start + ranges.back().length == i) ++ranges.back().length;
    else ranges.push_back({i, 1});
  }
  return ranges;
}

struct RangeCase {
  std::string name;
  Image a, b;
  Ranges expected;
};

std::vector<RangeCase> RangeCases() {
  const Image base = Dump(200);
  const Image small = Dump(64);
  return {
      {"equal", base, base, {}},
      {"both empty", {}, {}, {}},
      {"one byte", base, Flipped(base, {5}), {{5, 1}}},
      {"adjacent bytes merge", base, Flipped(base, {5, 6, 7}), {{5, 3}}},
      {"a byte apart stay two", base, Flipped(base, {5, 7}), {{5, 1}, {7, 1}}},
      {"first byte", base, Flipped(base, {0}), {{0, 1}}},
      {"last byte", base, Flipped(base, {199}), {{199, 1}}},
      {"across a 64-byte stretch", base, Flipped(base, {63, 64}), {{63, 2}}},
      {"after equal stretches", base, Flipped(base, {128, 191, 192}), {{128, 1}, {191, 2}}},
      {"every byte", small, Inverted(small), {{0, 64}}},
      {"second shorter", base, Image(base.begin(), base.end() - 8), {{192, 8}}},
      {"second longer", small, base, {{64, 136}}},
      {"differing end runs on into the missing bytes", base, Flipped(Image(base.begin(), base.end() - 8), {190, 191}),
       {{190, 10}}},
      {"empty against a dump", {}, small, {{0, 64}}},
      {"a dump against empty", small, {}, {{0, 64}}},
  };
}

class DumpRanges : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DumpRanges, AreTheRunsOfDifferingBytes) {
  const RangeCase& c = GetParam();
  const DumpComparison comparison = CompareDumpRanges(c.a, c.b);
  EXPECT_EQ(comparison.ranges, c.expected);
  std::size_t bytes = 0;
  for (const DumpRange& range : c.expected) bytes += range.length;
  EXPECT_EQ(comparison.differingBytes, bytes);
  EXPECT_EQ(comparison.identical(), c.expected.empty());
  EXPECT_EQ(comparison.sizeA, c.a.size());
  EXPECT_EQ(comparison.sizeB, c.b.size());
  // Verify and read-twice see the same difference: its first address and its byte count.
  const auto difference = CompareDumps(c.a, c.b);
  ASSERT_EQ(difference.has_value(), !c.expected.empty());
  if (difference) {
    EXPECT_EQ(difference->firstAddress, c.expected.front().start);
    EXPECT_EQ(comparison.firstAddress(), c.expected.front().start);
    EXPECT_EQ(difference->count, bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DumpRanges, ::testing::ValuesIn(RangeCases()), test::CaseName<RangeCase>);

// Scattered differences and cut ends of every kind, against the byte-by-byte ranges.
TEST(DumpRangesAtRandom, AgreeWithAByteByByteScan) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = random() % 700;
    Image a = Dump(size);
    Image b = a;
    const std::size_t flips = random() % 12;
    for (std::size_t i = 0; i < flips && size > 0; ++i) {
      const std::size_t at = random() % size;
      const std::size_t run = 1 + random() % 5;
      for (std::size_t k = at; k < std::min(size, at + run); ++k) b[k] = static_cast<std::uint8_t>(b[k] + 1);
    }
    b.resize(random() % 4 == 0 ? random() % 800 : size, 0x00);
    ASSERT_EQ(CompareDumpRanges(a, b).ranges, ByteByByte(a, b)) << "round " << round;
  }
}

TEST(HexRows, ShowEachSidesBytesAndMarkOnlyWhatDiffers) {
  const Image a = Dump(40);
  Image b = Flipped(Image(a.begin(), a.begin() + 20), {17});
  EXPECT_EQ(HexRowCount(a.size(), b.size()), 3u);
  EXPECT_EQ(HexRowCount(32, 0), 2u);
  EXPECT_EQ(HexRowCount(0, 0), 0u);

  const HexRow first = MakeHexRow(a, b, 0);
  EXPECT_EQ(first.address, 0u);
  for (std::size_t i = 0; i < kHexRowBytes; ++i) {
    EXPECT_EQ(first.a[i], a[i]);
    EXPECT_FALSE(first.differs[i]) << i;
  }
  const HexRow second = MakeHexRow(a, b, 1);
  EXPECT_EQ(second.address, 16u);
  EXPECT_EQ(second.a[1], a[17]);
  EXPECT_EQ(second.b[1], b[17]);
  EXPECT_TRUE(second.differs[1]);
  EXPECT_FALSE(second.differs[2]);
  EXPECT_EQ(second.b[3], b[19]);
  EXPECT_EQ(second.b[4], std::nullopt);  // past the second dump's end: missing, and differing
  EXPECT_TRUE(second.differs[4]);
  const HexRow last = MakeHexRow(a, b, 2);
  EXPECT_EQ(last.a[7], a[39]);
  EXPECT_TRUE(last.differs[7]);
  EXPECT_EQ(last.a[8], std::nullopt);  // past both ends: nothing to mark
  EXPECT_FALSE(last.differs[8]);
  EXPECT_EQ(HexRowOf(0x1230), 0x123u);
}

// The command's output (tests/cli) shows the usual lines; these are the ones it does not.
TEST(DumpCompareTexts, SayHighAddressesAndOneMoreRange) {
  EXPECT_EQ(RangeLine({0x3FFFFF0, 16}), "0x03FFFFF0-0x03FFFFFF  16 bytes");
  EXPECT_EQ(MoreRangesLine(1), "... 1 more range");
}

}  // namespace
}  // namespace jig

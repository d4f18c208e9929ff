#include <gtest/gtest.h>

#include <vector>

#include "Edid/EdidDump.h"

namespace jig {

using namespace edid;
namespace {

TEST(EdidDump, AllFfIsSixteenEqualLinesAfterAnEmptyOne) {
  const std::vector<std::uint8_t> image(256, 0xFF);
  const auto lines = EdidDump(image);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0], "");
  std::string expected = ":";
  for (int i = 0; i < 16; ++i) expected += " FF";
  expected += " ................";
  for (std::size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], expected) << "line " << i;
    EXPECT_EQ(lines[i].size(), 66u);
  }
}

TEST(EdidDump, KeepsDigitsLettersDotAndUnderscoreOnly) {
  std::vector<std::uint8_t> image(256, 0x00);
  const std::string text = "abc_1. Z9";
  for (std::size_t i = 0; i < text.size(); ++i) image[i] = static_cast<std::uint8_t>(text[i]);
  image[9] = 0x80;
  image[10] = 0xFF;
  image[11] = '-';
  image[12] = 0x7F;
  image[13] = '@';
  image[14] = '[';
  image[15] = '`';
  image[16] = 0x0A;  // second line starts here
  const auto lines = EdidDump(image);
  EXPECT_EQ(lines[1],
            ": 61 62 63 5F 31 2E 20 5A 39 80 FF 2D 7F 40 5B 60 abc_1..Z9.......");
  EXPECT_EQ(lines[2].substr(0, 4), ": 0A");
  EXPECT_EQ(lines[2].substr(50), "................");
}

TEST(EdidDump, FollowsAddressOrder) {
  std::vector<std::uint8_t> image(256);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i);
  const auto lines = EdidDump(image);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[1].substr(0, 9), ": 00 01 0");
  EXPECT_EQ(lines[4], ": 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 0123456789......");
  EXPECT_EQ(lines[16].substr(0, 49), ": F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF");
}

}  // namespace
}  // namespace jig

#include <gtest/gtest.h>

#include <vector>

#include "Kb901x_form/Kb90Checksums.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

TEST(Kb901xChecksums, KnownValues) {
  EXPECT_EQ(Crc16ArcUpdate(0, test::Bytes("123456789")), 0xBB3D);

  Kb90Sums abc;
  abc.add(test::Bytes("abc"));
  EXPECT_EQ(abc.SUMM_KB90, 0x0126);
  EXPECT_EQ(abc.CRC16_KB90, 0x9738);

  // A blank image: the 16-bit sum wraps to zero.
  Kb90Sums blank;
  const std::vector<std::uint8_t> block(256, 0xFF);
  for (int i = 0; i < 512; ++i) blank.add(block);
  EXPECT_EQ(blank.SUMM_KB90, 0x0000);
  EXPECT_EQ(blank.CRC16_KB90, 0x9401);
}

TEST(Kb901xChecksums, BlockByBlockEqualsOneGo) {
  std::vector<std::uint8_t> image(131072);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  Kb90Sums parts;
  for (std::size_t at = 0; at < image.size(); at += 256) parts.add(std::span(image).subspan(at, 256));
  EXPECT_EQ(parts.CRC16_KB90, Crc16ArcUpdate(0, image));
  EXPECT_EQ(parts.SUMM_KB90, Sum16Update(0, image));
  EXPECT_NE(parts.CRC16_KB90, 0);
}

}  // namespace
}  // namespace jig

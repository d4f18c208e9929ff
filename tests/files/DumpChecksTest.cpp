// The dump pattern check and the image comparison behind verify and read-twice.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "files/DumpChecks.h"

namespace jig {
namespace {

using Image = std::vector<std::uint8_t>;

// Looks like an EC image: a vector table, code-like bytes, strings, then erased flash.
Image FirmwareLike(std::size_t size) {
  Image image(size, 0xFF);
  std::uint32_t state = 0x12345678;
  for (std::size_t i = 0; i < size * 3 / 5; ++i) {
    state = state * 1664525u + 1013904223u;
    image[i] = static_cast<std::uint8_t>(state >> 24);
  }
  const char text[] = "EC firmware 1.07 build";
  if (size >= 0x800) std::copy(std::begin(text), std::end(text), image.begin() + 0x400);
  return image;
}

TEST(DumpPattern, FlagsWhatABadContactReads) {
  EXPECT_EQ(CheckDumpPattern(Image(0x20000, 0xFF)).pattern, DumpPattern::AllFF);
  EXPECT_EQ(CheckDumpPattern(Image(0x20000, 0x00)).pattern, DumpPattern::All00);
  const DumpVerdict one = CheckDumpPattern(Image(0x20000, 0x5A));
  EXPECT_EQ(one.pattern, DumpPattern::Repeated);
  EXPECT_EQ(one.period, 1u);

  Image sixteen(0x20000);
  for (std::size_t i = 0; i < sixteen.size(); ++i) sixteen[i] = static_cast<std::uint8_t>(i * 7 % 16 + (i % 16 == 3 ? 0x80 : 0));
  const DumpVerdict repeated = CheckDumpPattern(sixteen);
  EXPECT_EQ(repeated.pattern, DumpPattern::Repeated);
  EXPECT_EQ(repeated.period, 16u);
  // A repeat that does not reach the end is real content.
  sixteen.back() ^= 0x01;
  EXPECT_EQ(CheckDumpPattern(sixteen).pattern, DumpPattern::Mixed);
}

TEST(DumpPattern, RealContentIsNotFlagged) {
  EXPECT_EQ(CheckDumpPattern(FirmwareLike(0x20000)).pattern, DumpPattern::Mixed);
  EXPECT_EQ(CheckDumpPattern(FirmwareLike(128)).pattern, DumpPattern::Mixed);
  // A block longer than a short pattern, repeated: not this check's business.
  Image blocks(4096);
  for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>((i % 512) * 31 % 251);
  EXPECT_EQ(CheckDumpPattern(blocks).pattern, DumpPattern::Mixed);
  // Too few repeats to call it a pattern: a 100-byte image made of two 50-byte halves.
  Image halves = FirmwareLike(50);
  halves.insert(halves.end(), halves.begin(), halves.end());
  EXPECT_EQ(CheckDumpPattern(halves).pattern, DumpPattern::Mixed);
}

TEST(DumpPattern, LinesSayWhatWasFoundInTheWindowsLanguage) {
  EXPECT_EQ(DumpPatternLine({DumpPattern::AllFF, 1}, LogLanguage::English),
            "Warning: the dump is all FFh. This usually means a bad contact; do not write this dump back.");
  EXPECT_EQ(DumpPatternLine({DumpPattern::Repeated, 16}, LogLanguage::English),
            "Warning: the dump repeats one 16-byte pattern throughout. This usually means a bad contact; do not "
            "write this dump back.");
  EXPECT_EQ(DumpPatternLine({DumpPattern::All00, 1}, LogLanguage::Russian),
            "Внимание: дамп весь из 00h. Обычно это плохой контакт; не записывайте такой дамп обратно.");
  EXPECT_EQ(DumpPatternLine({}, LogLanguage::English), "Dump check: the content looks like real data.");
  // No bytes at all are no real data.
  EXPECT_EQ(DumpPatternLine(CheckDumpPattern({}), LogLanguage::English), "Warning: the dump is empty (0 bytes).");
  EXPECT_EQ(DumpPatternLine(CheckDumpPattern({}), LogLanguage::Russian), "Внимание: дамп пуст (0 байт).");
}

TEST(DumpCompare, FindsTheFirstDifferenceAndCountsEveryOne) {
  const Image image = FirmwareLike(0x20000);
  EXPECT_FALSE(CompareDumps(image, image).has_value());

  Image lastBit = image;
  lastBit.back() ^= 0x80;
  const auto last = CompareDumps(image, lastBit);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->firstAddress, 0x1FFFFu);
  EXPECT_EQ(last->count, 1u);
  EXPECT_EQ(VerifyLine(last, LogLanguage::English),
            "Verify after write: FAILED, first difference at 0001FFFF, 1 byte differs.");

  Image firstBlock = image;
  for (std::size_t i = 0x10; i < 0x30; ++i) firstBlock[i] ^= 0xFF;
  const auto block = CompareDumps(image, firstBlock);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(block->firstAddress, 0x10u);
  EXPECT_EQ(block->count, 0x20u);
  EXPECT_EQ(ReadTwiceLine(block, LogLanguage::Russian),
            "Двойное чтение: чтения различаются, первое отличие по адресу 00000010, различных байт: 32. Файл не "
            "записан.");
}

TEST(DumpCompare, AShortImageDiffersByWhatIsMissing) {
  const Image image = FirmwareLike(1024);
  const Image shorter(image.begin(), image.end() - 256);
  const auto difference = CompareDumps(image, shorter);
  ASSERT_TRUE(difference.has_value());
  EXPECT_EQ(difference->firstAddress, 768u);
  EXPECT_EQ(difference->count, 256u);
  EXPECT_EQ(ReadTwiceLine(std::nullopt, LogLanguage::English), "Read twice: both reads match.");
  EXPECT_EQ(VerifyLine(std::nullopt, LogLanguage::Russian), "Проверка после записи: OK, флеш совпадает с образом.");
}

}  // namespace
}  // namespace jig

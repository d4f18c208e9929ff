// The HEX image loader: what it takes, what it refuses, and what it logs.
#include <gtest/gtest.h>

#include "app/Families.h"
#include "main/FirmwareImage.h"
#include "sim/StandInImage.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using test::Bytes;
using test::RecordingView;
using test::TempDir;

// A file as objcopy -I binary -O ihex makes it: uppercase, 16-byte records, CR LF.
std::string HexOf(const std::vector<std::uint8_t>& image) { return sim::ToIntelHex(image); }

std::vector<std::uint8_t> Pattern(std::size_t length) {
  std::vector<std::uint8_t> image(length);
  for (std::size_t i = 0; i < length; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return image;
}

struct Loaded {
  LoadedImage image;
  std::vector<std::string> lines;
  int gaugeMax = -1;
};

Loaded LoadText(const std::string& text, const std::string& task = "MEC1609",
                const std::string& file = "Q27_jtag.hex") {
  TempDir dir;
  test::WriteFileBytes(dir.file(file), Bytes(text));
  RecordingView view;
  Loaded loaded{LoadFirmwareImage(FindTask(TaskList(), task), view, {dir.path()}), view.lines(), view.gaugeMax("CGauge_UPD")};
  return loaded;
}

TEST(FirmwareImage, LoadsAnObjcopyFileAndLogsEachStep) {
  const auto data = Pattern(kFirmwareImageSize);
  const std::string text = HexOf(data);
  const Loaded loaded = LoadText(text);
  ASSERT_TRUE(loaded.image.ok()) << loaded.image.result;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), loaded.image.image.bytes.begin()));
  EXPECT_EQ(loaded.image.image.lastUsed, 0x17FFu);
  EXPECT_EQ(loaded.lines, (std::vector<std::string>{"UPGRADE file loaded to buffer (Q27_jtag.hex)",
                                                    "Bytes read from file " + std::to_string(text.size()),
                                                    "HEX position_buff 17FF"}));
  EXPECT_EQ(loaded.gaugeMax, 0x17FF);
}

TEST(FirmwareImage, LastUsedAddressIgnoresTrailingFFAndUnsetBytes) {
  auto data = Pattern(0x0A40);
  Loaded loaded = LoadText(HexOf(data));
  ASSERT_TRUE(loaded.image.ok());
  EXPECT_EQ(loaded.lines.back(), "HEX position_buff 0A3F");
  EXPECT_EQ(loaded.gaugeMax, 0x0A3F);
  EXPECT_EQ(loaded.image.image.bytes[0x0A40], 0xFF);

  // Data bytes of value FFh at the end are not counted.
  data.resize(0x0100);
  std::fill(data.begin() + 0x00F1, data.end(), 0xFF);
  loaded = LoadText(HexOf(data));
  ASSERT_TRUE(loaded.image.ok());
  EXPECT_EQ(loaded.image.image.lastUsed, 0x00F0u);
  EXPECT_EQ(loaded.lines.back(), "HEX position_buff 00F0");
}

TEST(FirmwareImage, EndRecordIsOptionalAndEndsTheParse) {
  // No end record: the parse stops at the end of the file.
  std::string text = HexOf(Pattern(32));
  text.erase(text.find(":00000001FF"));
  EXPECT_TRUE(LoadText(text).image.ok());
  // Whatever follows the end record is not looked at.
  EXPECT_TRUE(LoadText(HexOf(Pattern(32)) + "garbage, not HEX\r\n").image.ok());
  // A file longer than the buffer is fine when its end record lies inside it.
  EXPECT_TRUE(LoadText(HexOf(Pattern(32)) + std::string(40000, 'x')).image.ok());
}

TEST(FirmwareImage, RefusesFilesOutsideWhatItTakes) {
  const std::string good = HexOf(Pattern(64));
  std::string lfOnly = good;
  for (std::size_t at; (at = lfOnly.find('\r')) != std::string::npos;) lfOnly.erase(at, 1);
  std::string lowercase = good;
  std::transform(lowercase.begin(), lowercase.end(), lowercase.begin(), [](char c) { return std::tolower(c); });
  std::string badSum = good;
  badSum[good.find("\r\n") - 1] ^= 1;
  // The last data record's checksum, then the end record's.
  std::string badLastSum = good;
  const std::size_t endRecord = good.find(":00000001FF");
  badLastSum[endRecord - 3] ^= 1;
  std::string badEndSum = good;
  badEndSum[endRecord + 10] = 'E';
  // 8 bytes at 17F8 fit; 16 bytes there would reach 1807.
  const std::string beyond = ":1017F800000102030405060708090A0B0C0D0E0F69\r\n";
  // The last record cut off by the 32768-byte buffer.
  std::string cut;
  while (cut.size() < kHexFileBufferSize) cut += ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
  // Cut exactly at a record boundary, no end record: the rest of the file was never read.
  std::string cutAtBoundary;
  for (int i = 0; i < 725; ++i) cutAtBoundary += ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
  for (int i = 0; i < 11; ++i) cutAtBoundary += ":0000000000\r\n";
  ASSERT_EQ(cutAtBoundary.size(), kHexFileBufferSize);
  cutAtBoundary += ":10001000000102030405060708090A0B0C0D0E0F68\r\n";

  const std::pair<const char*, std::string> cases[] = {
      {"LF-only line ends", lfOnly},
      {"lowercase digits", lowercase},
      {"checksum", badSum},
      {"checksum of the last data record", badLastSum},
      {"checksum of the end record", badEndSum},
      // 01h + 11h = 12h: the checksum is the two's complement of the sum (EEh), not the sum.
      {"checksum that is the sum itself", ":010000001112\r\n:00000001FF\r\n"},
      {"extended address record", ":020000040000FA\r\n" + good},
      {"record beyond 17FF", beyond},
      {"record cut off by the end of the file", good.substr(0, 20)},
      {"record cut off by the buffer", cut},
      {"buffer full without end record", cutAtBoundary},
      {"only FFh", ":04000000FFFFFFFF00\r\n:00000001FF\r\n"},
      {"no record at all", "\r\n"},
      {"empty file", ""},
  };
  for (const auto& [what, text] : cases) {
    const Loaded loaded = LoadText(text);
    EXPECT_EQ(loaded.image.result, "ERROR file format") << what;
    ASSERT_FALSE(loaded.lines.empty()) << what;
    EXPECT_EQ(loaded.lines.back(), "Wrong file format!") << what;
    EXPECT_EQ(loaded.gaugeMax, 0) << what << ": the gauge maximum is left alone";
  }
  // The one that fits at 17F8 is taken.
  const Loaded edge = LoadText(":0817F8000102030405060708C5\r\n:00000001FF\r\n");
  ASSERT_TRUE(edge.image.ok());
  EXPECT_EQ(edge.image.image.lastUsed, 0x17FFu);
}

TEST(FirmwareImage, FileChosenByTaskAndMissingFileLogged) {
  TempDir dir;
  RecordingView view;
  auto loaded = LoadFirmwareImage(FindTask(TaskList(), "NPCE288N/388N"), view, {dir.path()});
  EXPECT_EQ(loaded.result, "ERROR FILE SEARCH");
  // The documented line, then where the file was looked for.
  EXPECT_EQ(view.lines(), (std::vector<std::string>{"Not found .hex file -> Q27_NPCE288.hex for Q27 in the program folder ",
                                                    "Q27_NPCE288.hex: looked in: " + dir.path().string()}));

  // A task outside the list has no file name.
  RecordingView other;
  loaded = LoadFirmwareImage(FindTask(TaskList(), "Please select "), other, {dir.path()});
  EXPECT_EQ(loaded.result, "ERROR FILE SEARCH");
  EXPECT_EQ(other.lastLine(), "Not found .hex file ->  for Q27 in the program folder ");

  // Folders are looked in in order; the three V41 tasks share one file.
  TempDir second;
  test::WriteFileBytes(second.file("Q27_ALLPCB_V41.hex"), Bytes(HexOf(Pattern(16))));
  for (const char* task : {"EEPROM lcd (EDID)", "Keyboard testing", "KB9010/12/16/22"}) {
    RecordingView found;
    EXPECT_TRUE(LoadFirmwareImage(FindTask(TaskList(), task), found, {dir.path(), second.path()}).ok()) << task;
    EXPECT_EQ(found.lines().front(), "UPGRADE file loaded to buffer (Q27_ALLPCB_V41.hex)");
  }
}

}  // namespace
}  // namespace jig

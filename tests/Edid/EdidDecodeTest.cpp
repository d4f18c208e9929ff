// The decoder against real panels' EDIDs, each also read by the edid-decode tool: both must
// agree on the header, every block checksum and the identification fields, for the images
// as they are and for copies with faults put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>

#include "Edid/EdidDecode.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace edid;
namespace {

const std::string kPanels = test::PanelEdidFolder();

std::vector<std::string> PanelFiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(kPanels, error))
    if (entry.path().extension() == ".bin") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 4096> chunk;
  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), got);
  pclose(pipe);
  return output;
}

bool EdidDecodeInstalled() { return Run("command -v edid-decode 2>/dev/null").find("edid-decode") != std::string::npos; }

// What edid-decode says about one file.
struct Reference {
  bool headerFound = true;
  std::string manufacturer;
  std::optional<unsigned> model, serial, week;
  std::optional<int> year;
  bool modelYear = false;
  std::optional<unsigned> version, revision;
  struct Checksum {
    unsigned stored;
    std::optional<unsigned> shouldBe;
  };
  std::vector<Checksum> checksums;  // one per block, in block order
  int invalidChecksumFailures = 0;
};

Reference Parse(const std::string& text) {
  Reference ref;
  ref.headerFound = text.find("No EDID header found") == std::string::npos;
  std::istringstream lines(text);
  std::string line;
  std::smatch m;
  const std::regex manufacturer(R"(^\s+Manufacturer: (\S+)$)"), model(R"(^\s+Model: (\d+)$)"),
      serial(R"(^\s+Serial Number: (\d+)$)"), madeWeek(R"(^\s+Made in: week (\d+) of (\d+)$)"),
      madeYear(R"(^\s+Made in: (\d+)$)"), modelYear(R"(^\s+Model year: (\d+)$)"),
      version(R"(^\s+EDID Structure Version & Revision: (\d+)\.(\d+)$)"),
      checksum(R"(^Checksum: 0x([0-9a-f]{2})(?: \(should be 0x([0-9a-f]{2})\))?$)"),
      invalid(R"(^\s+Invalid checksum 0x[0-9a-f]{2} \(should be 0x[0-9a-f]{2}\)\.$)");
  while (std::getline(lines, line)) {
    if (std::regex_match(line, m, manufacturer)) ref.manufacturer = m[1];
    else if (std::regex_match(line, m, model)) ref.model = std::stoul(m[1]);
    else if (std::regex_match(line, m, serial)) ref.serial = std::stoul(m[1]);
    else if (std::regex_match(line, m, madeWeek)) ref.week = std::stoul(m[1]), ref.year = std::stoi(m[2]);
    else if (std::regex_match(line, m, madeYear)) ref.week = 0, ref.year = std::stoi(m[1]);
    else if (std::regex_match(line, m, modelYear)) ref.modelYear = true, ref.year = std::stoi(m[1]);
    else if (std::regex_match(line, m, version)) ref.version = std::stoul(m[1]), ref.revision = std::stoul(m[2]);
    else if (std::regex_match(line, m, checksum)) {
      Reference::Checksum sum{static_cast<unsigned>(std::stoul(m[1], nullptr, 16)), std::nullopt};
      if (m[2].matched) sum.shouldBe = static_cast<unsigned>(std::stoul(m[2], nullptr, 16));
      ref.checksums.push_back(sum);
    } else if (std::regex_match(line, invalid)) {
      ++ref.invalidChecksumFailures;
    }
  }
  return ref;
}

void ExpectBlockAgrees(const EdidBlockCheck& ours, const Reference::Checksum& theirs, const std::string& what) {
  EXPECT_EQ(ours.stored, theirs.stored) << what;
  EXPECT_EQ(ours.valid(), !theirs.shouldBe.has_value()) << what;
  EXPECT_EQ(ours.expected, theirs.shouldBe.value_or(theirs.stored)) << what;
}

// Decodes the file with both and compares; returns our verdict for the caller's own checks.
EdidInfo ExpectAgreement(const std::string& path, const std::string& what) {
  const auto bytes = test::ReadFileBytes(path);
  const EdidInfo ours = DecodeEdid(bytes);
  const Reference ref = Parse(Run("edid-decode --check '" + path + "' 2>&1"));
  EXPECT_EQ(ours.headerValid, ref.headerFound) << what;
  if (!ref.headerFound) return ours;  // edid-decode decodes nothing further
  EXPECT_EQ(ours.manufacturer, ref.manufacturer) << what;
  EXPECT_EQ(std::optional<unsigned>(ours.productCode), ref.model) << what;
  // edid-decode leaves a zero serial number out.
  EXPECT_EQ(ours.serial, ref.serial.value_or(0)) << what;
  EXPECT_EQ(std::optional<int>(ours.year), ref.year) << what;
  EXPECT_EQ(ours.modelYear(), ref.modelYear) << what;
  if (!ref.modelYear) {
    EXPECT_EQ(std::optional<unsigned>(ours.week), ref.week) << what;
  }
  EXPECT_EQ(std::optional<unsigned>(ours.version), ref.version) << what;
  EXPECT_EQ(std::optional<unsigned>(ours.revision), ref.revision) << what;
  const std::size_t blocks = bytes.size() / kEdidBlockSize;
  EXPECT_EQ(ref.checksums.size(), blocks) << what;
  if (ref.checksums.size() != blocks || !ours.base) return ours;
  ExpectBlockAgrees(*ours.base, ref.checksums[0], what + ", block 0");
  if (blocks == 2) {
    EXPECT_TRUE(ours.extension.has_value()) << what;
    if (ours.extension) ExpectBlockAgrees(*ours.extension, ref.checksums[1], what + ", block 1");
  }
  const int oursInvalid = (ours.base->valid() ? 0 : 1) + (ours.extension && !ours.extension->valid() ? 1 : 0);
  EXPECT_EQ(oursInvalid, ref.invalidChecksumFailures) << what;
  return ours;
}

TEST(EdidDecode, AgreesWithEdidDecodeOnRealPanelsAndOnBrokenCopies) {
  ASSERT_TRUE(EdidDecodeInstalled()) << "edid-decode is not installed: install the Debian package edid-decode";
  const auto files = PanelFiles();
  ASSERT_GE(files.size(), 10u) << "no panel EDIDs in " << kPanels;
  test::TempDir dir;
  int extensions = 0;
  for (const auto& path : files) {
    const std::string name = std::filesystem::path(path).filename().string();
    const auto original = test::ReadFileBytes(path);
    ASSERT_TRUE(original.size() == 128 || original.size() == 256) << name;

    // As taken from the panel: a sound header and sound checksums.
    const EdidInfo info = ExpectAgreement(path, name);
    EXPECT_TRUE(info.valid()) << name;
    EXPECT_EQ(info.manufacturer, name.substr(0, 3));

    // The base checksum off by one: flagged with the right expected value.
    auto bad = original;
    bad[127] = static_cast<std::uint8_t>(bad[127] + 1);
    test::WriteFileBytes(dir.file(name), bad);
    EXPECT_FALSE(ExpectAgreement(dir.file(name), name + " with a bad base checksum").base->valid());

    // A serial number and a model year, fields the real panels leave empty.
    auto fields = original;
    fields[12] = 0x78, fields[13] = 0x56, fields[14] = 0x34, fields[15] = 0x92, fields[16] = 0xFF;
    FixEdidChecksums(fields);
    test::WriteFileBytes(dir.file(name), fields);
    const EdidInfo withSerial = ExpectAgreement(dir.file(name), name + " with a serial and model year");
    EXPECT_EQ(withSerial.serial, 0x92345678u);
    EXPECT_TRUE(withSerial.valid());

    if (original.size() == 256) {
      ++extensions;
      auto badExtension = original;
      badExtension[255] ^= 0x40;
      test::WriteFileBytes(dir.file(name), badExtension);
      const EdidInfo flagged = ExpectAgreement(dir.file(name), name + " with a bad extension checksum");
      EXPECT_TRUE(flagged.base->valid());
      EXPECT_FALSE(flagged.extension->valid());
      EXPECT_FALSE(flagged.valid());
    }

    // No header: edid-decode finds no EDID at all, and neither do we.
    auto headless = original;
    headless[0] = 0x12;
    test::WriteFileBytes(dir.file(name), headless);
    EXPECT_FALSE(ExpectAgreement(dir.file(name), name + " without header").headerValid);
  }
  EXPECT_GE(extensions, 1) << "no 256-byte panel among the test data";
}

TEST(EdidDecode, SummaryOfASoundPanelAndOfFaultyImages) {
  auto image = test::ReadFileBytes(kPanels + "BOE_BOE05DF_042BEAC195EB.bin");
  ASSERT_EQ(image.size(), 128u);
  image.resize(256, 0xFF);  // as the EEPROM holds it
  EXPECT_EQ(EdidSummary(DecodeEdid(image)),
            (std::vector<std::string>{"EDID header: OK.", "Checksum of block 0: OK (0Ch).",
                                      "Block 1: empty (all FFh), no extension block.",
                                      "Manufacturer: BOE, product code: 1503 (05DFh), serial number: 0.",
                                      "Made in week 1 of 2012, EDID version 1.4."}));
  EXPECT_TRUE(DecodeEdid(image).valid());

  image[127] = 0x0B;
  image[16] = 0;  // week not given
  const EdidInfo info = DecodeEdid(image);
  EXPECT_FALSE(info.valid());
  EXPECT_EQ(EdidSummary(info)[1], "Checksum of block 0: WRONG, byte 127 is 0Bh, should be 0Dh.");
  EXPECT_EQ(EdidSummary(info)[4], "Made in 2012, EDID version 1.4.");
  EXPECT_EQ(WrongChecksumQuestion(*info.base),
            "The checksum of block 0 is wrong (byte 127 is 0Bh, should be 0Dh). Write this image to the EEPROM anyway?");

  // An all-FFh EEPROM: no header, a wrong checksum, no letters.
  const EdidInfo blank = DecodeEdid(std::vector<std::uint8_t>(256, 0xFF));
  EXPECT_EQ(EdidSummary(blank),
            (std::vector<std::string>{"EDID header: WRONG, the image does not begin with 00 FF FF FF FF FF FF 00.",
                                      "Checksum of block 0: WRONG, byte 127 is FFh, should be 7Fh.",
                                      "Block 1: empty (all FFh), no extension block.",
                                      "Manufacturer: ???, product code: 65535 (FFFFh), serial number: 4294967295.",
                                      "Model year 2245, EDID version 255.255."}));
  // Too short for a block: nothing read beyond the end.
  const std::vector<std::uint8_t> stub = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x4C};
  const EdidInfo shortInfo = DecodeEdid(stub);
  EXPECT_TRUE(shortInfo.headerValid);
  EXPECT_FALSE(shortInfo.base.has_value());
  EXPECT_FALSE(shortInfo.valid());
}

TEST(EdidDecode, FixSetsEachWrongChecksumAndLeavesAnErasedHalfAlone) {
  auto image = test::ReadFileBytes(kPanels + "SDC_SDC4141_1FB7B65F5CB0.bin");
  ASSERT_EQ(image.size(), 256u);
  const auto sound = image;
  image[127] = 0x00;
  image[255] = 0xFF;
  const auto fixes = FixEdidChecksums(image);
  ASSERT_EQ(fixes.size(), 2u);
  EXPECT_EQ(ChecksumFixLine(fixes[0]), "Fix checksum: byte 127 changed from 00h to 15h.");
  EXPECT_EQ(ChecksumFixLine(fixes[1]), "Fix checksum: byte 255 changed from FFh to ABh.");
  EXPECT_EQ(image, sound);
  EXPECT_TRUE(FixEdidChecksums(image).empty());

  // A 128-byte EDID in a 256-byte EEPROM: the FFh half is no extension and stays FFh.
  auto half = std::vector<std::uint8_t>(sound.begin(), sound.begin() + 128);
  half[20] ^= 1;
  half.resize(256, 0xFF);
  const auto halfFixes = FixEdidChecksums(half);
  ASSERT_EQ(halfFixes.size(), 1u);
  EXPECT_EQ(halfFixes[0].offset, 127u);
  EXPECT_EQ(half[255], 0xFF);
  EXPECT_TRUE(DecodeEdid(half).valid());
}

}  // namespace
}  // namespace jig

#include "Edid/EdidDecode.h"

#include <algorithm>
#include <array>

#include "view/CharFilter.h"

namespace jig::edid {

namespace {

constexpr std::array<std::uint8_t, 8> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

std::uint8_t Byte(std::span<const std::uint8_t> image, std::size_t offset) {
  return offset < image.size() ? image[offset] : 0;
}

EdidBlockCheck CheckBlock(std::span<const std::uint8_t> block, std::size_t index) {
  EdidBlockCheck check;
  check.index = index;
  // An EEPROM that holds only a base block reads FFh in its upper half.
  check.erased = index > 0 && std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; });
  unsigned sum = 0;
  for (std::size_t i = 0; i < kEdidChecksumOffset; ++i) sum += block[i];
  check.stored = block[kEdidChecksumOffset];
  check.expected = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
  return check;
}

// Five bits a letter, 1 = 'A'; bit 15 is reserved.
char Letter(unsigned code) { return code >= 1 && code <= 26 ? static_cast<char>('A' + code - 1) : '?'; }

std::string H(unsigned value) { return Hex2(value) + "h"; }

std::string ChecksumLine(const EdidBlockCheck& check) {
  const std::string block = "Checksum of block " + std::to_string(check.index) + ": ";
  if (check.stored == check.expected) return block + "OK (" + H(check.stored) + ").";
  return block + "WRONG, byte " + std::to_string(check.checksumOffset()) + " is " + H(check.stored) +
         ", should be " + H(check.expected) + ".";
}

}  // namespace

EdidInfo DecodeEdid(std::span<const std::uint8_t> image) {
  EdidInfo info;
  info.headerValid = image.size() >= kHeader.size() && std::equal(kHeader.begin(), kHeader.end(), image.begin());
  if (image.size() >= kEdidBlockSize) info.base = CheckBlock(image.first(kEdidBlockSize), 0);
  if (image.size() >= 2 * kEdidBlockSize) info.extension = CheckBlock(image.subspan(kEdidBlockSize, kEdidBlockSize), 1);
  const unsigned id = (Byte(image, 8) << 8) | Byte(image, 9);
  info.manufacturer = {Letter((id >> 10) & 0x1F), Letter((id >> 5) & 0x1F), Letter(id & 0x1F)};
  info.productCode = static_cast<std::uint16_t>(Byte(image, 10) | (Byte(image, 11) << 8));
  info.serial = static_cast<std::uint32_t>(Byte(image, 12)) | (static_cast<std::uint32_t>(Byte(image, 13)) << 8) |
                (static_cast<std::uint32_t>(Byte(image, 14)) << 16) | (static_cast<std::uint32_t>(Byte(image, 15)) << 24);
  info.week = Byte(image, 16);
  info.year = 1990 + Byte(image, 17);
  info.version = Byte(image, 18);
  info.revision = Byte(image, 19);
  info.extensionCount = Byte(image, 126);
  return info;
}

std::vector<std::string> EdidSummary(const EdidInfo& info) {
  std::vector<std::string> lines;
  lines.push_back(info.headerValid ? "EDID header: OK."
                                   : "EDID header: WRONG, the image does not begin with 00 FF FF FF FF FF FF 00.");
  lines.push_back(info.base ? ChecksumLine(*info.base) : "Checksum of block 0: the image is shorter than one block.");
  if (info.extension) {
    lines.push_back(info.extension->erased ? "Block 1: empty (all FFh), no extension block."
                                           : ChecksumLine(*info.extension));
  }
  lines.push_back("Manufacturer: " + info.manufacturer + ", product code: " + std::to_string(info.productCode) + " (" +
                  Hex4(info.productCode) + "h), serial number: " + std::to_string(info.serial) + ".");
  const std::string version = "EDID version " + std::to_string(info.version) + "." + std::to_string(info.revision) + ".";
  const std::string year = std::to_string(info.year);
  if (info.modelYear())
    lines.push_back("Model year " + year + ", " + version);
  else if (info.week == 0)
    lines.push_back("Made in " + year + ", " + version);
  else
    lines.push_back("Made in week " + std::to_string(info.week) + " of " + year + ", " + version);
  return lines;
}

std::string WrongChecksumQuestion(const EdidBlockCheck& base) {
  return "The checksum of block 0 is wrong (byte " + std::to_string(base.checksumOffset()) + " is " + H(base.stored) +
         ", should be " + H(base.expected) + "). Write this image to the EEPROM anyway?";
}

bool IsOneRepeatedByte(std::span<const std::uint8_t> image) {
  return !image.empty() && std::all_of(image.begin(), image.end(), [&](std::uint8_t b) { return b == image[0]; });
}

std::optional<std::string> EdidWriteQuestion(const EdidInfo& info, std::span<const std::uint8_t> image) {
  const bool repeated = IsOneRepeatedByte(image);
  const bool badChecksum = info.base && !info.base->valid();
  if (info.headerValid && !repeated) {
    if (!badChecksum) return std::nullopt;
    return WrongChecksumQuestion(*info.base);  // the one fault a fixed file often has
  }
  std::string question;
  if (repeated) question += "The image is one byte (" + H(image[0]) + ") repeated: no EEPROM content. ";
  else question += "The image does not start with the EDID header 00 FF FF FF FF FF FF 00. ";
  if (badChecksum) question += "The checksum of block 0 is wrong. ";
  return question + "Write this image to the EEPROM anyway?";
}

std::vector<ChecksumFix> FixEdidChecksums(std::span<std::uint8_t> image) {
  std::vector<ChecksumFix> fixes;
  const EdidInfo info = DecodeEdid(image);
  for (const auto& check : {info.base, info.extension}) {
    if (!check || check->valid()) continue;
    fixes.push_back({check->checksumOffset(), check->stored, check->expected});
    image[check->checksumOffset()] = check->expected;
  }
  return fixes;
}

std::string ChecksumFixLine(const ChecksumFix& fix) {
  return "Fix checksum: byte " + std::to_string(fix.offset) + " changed from " + H(fix.oldValue) + " to " +
         H(fix.newValue) + ".";
}

}  // namespace jig::edid

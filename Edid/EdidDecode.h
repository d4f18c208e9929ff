#pragma once
// What an EDID image says about itself, decoded far enough to tell a technician whether the
// panel's EEPROM holds a sound EDID (header, block checksums) and which panel it describes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jig::edid {

inline constexpr std::size_t kEdidBlockSize = 128;
// The last byte of a block makes the sum of its 128 bytes 00h.
inline constexpr std::size_t kEdidChecksumOffset = kEdidBlockSize - 1;

struct EdidBlockCheck {
  std::size_t index = 0;       // 0 = base block, 1 = extension block
  bool erased = false;         // all FFh: an empty EEPROM half, not an extension
  std::uint8_t stored = 0;     // the block's last byte
  std::uint8_t expected = 0;   // the value that makes the block sum to 00h
  bool valid() const { return erased || stored == expected; }
  std::size_t checksumOffset() const { return index * kEdidBlockSize + kEdidChecksumOffset; }
};

struct EdidInfo {
  bool headerValid = false;
  // The base block; absent when the image is shorter than one block.
  std::optional<EdidBlockCheck> base;
  // The extension block; present only in a 256-byte image.
  std::optional<EdidBlockCheck> extension;
  std::string manufacturer;        // three letters, '?' for a code outside A..Z
  std::uint16_t productCode = 0;   // bytes 10-11, little endian
  std::uint32_t serial = 0;        // bytes 12-15, little endian
  std::uint8_t week = 0;           // 0: not given; FFh: the year is a model year
  int year = 0;                    // byte 17 + 1990
  std::uint8_t version = 0;
  std::uint8_t revision = 0;
  std::uint8_t extensionCount = 0;  // byte 126

  bool modelYear() const { return week == 0xFF; }
  bool checksumsValid() const { return base && base->valid() && (!extension || extension->valid()); }
  // Header and every block checksum.
  bool valid() const { return headerValid && checksumsValid(); }
};

// Decodes what the image holds; bytes beyond the second block are not looked at.
EdidInfo DecodeEdid(std::span<const std::uint8_t> image);

// The lines the EDID window logs about an image (English, like the window's own lines).
std::vector<std::string> EdidSummary(const EdidInfo& info);
// The Yes/No question before writing an image whose base-block checksum is wrong.
std::string WrongChecksumQuestion(const EdidBlockCheck& base);
// An image of one byte value from end to end: an EEPROM that answered nothing real.
bool IsOneRepeatedByte(std::span<const std::uint8_t> image);
// The question before a write of an image that does not look like a sound EDID (wrong
// header, one repeated byte, wrong base-block checksum); nothing when it does.
std::optional<std::string> EdidWriteQuestion(const EdidInfo& info, std::span<const std::uint8_t> image);

struct ChecksumFix {
  std::size_t offset = 0;
  std::uint8_t oldValue = 0;
  std::uint8_t newValue = 0;
};

// Sets the checksum byte of every block whose checksum is wrong; an erased extension
// half is left alone. Returns what changed (nothing when all were right).
std::vector<ChecksumFix> FixEdidChecksums(std::span<std::uint8_t> image);
std::string ChecksumFixLine(const ChecksumFix& fix);

}  // namespace jig::edid

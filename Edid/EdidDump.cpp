#include "Edid/EdidDump.h"

#include <algorithm>

#include "view/CharFilter.h"

namespace jig::edid {

std::array<std::uint8_t, kEdidImageSize> EdidWriteImage(std::span<const std::uint8_t> file) {
  std::array<std::uint8_t, kEdidImageSize> image;
  image.fill(0xFF);
  std::copy_n(file.begin(), std::min(file.size(), image.size()), image.begin());
  return image;
}

std::string EdidDumpLine(std::span<const std::uint8_t> sixteen) {
  std::string line = ":";
  for (std::uint8_t byte : sixteen) line += " " + Hex2(byte);
  line += ' ';
  // Digits, letters, '.' and '_' show as themselves; anything else as a dot.
  for (std::uint8_t byte : sixteen) line.push_back(IsKeptCharacter(byte) ? static_cast<char>(byte) : '.');
  return line;
}

std::vector<std::string> EdidDump(std::span<const std::uint8_t> image) {
  std::vector<std::string> lines{""};
  for (std::size_t offset = 0; offset + 16 <= image.size() && offset < kEdidImageSize; offset += 16)
    lines.push_back(EdidDumpLine(image.subspan(offset, 16)));
  return lines;
}

}  // namespace jig::edid

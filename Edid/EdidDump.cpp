#include "Edid/EdidDump.h"

#include "link/CharFilter.h"
#include "link/DumpFile.h"

namespace jig {

std::array<std::uint8_t, kEdidImageSize> ReadEdidImage(DumpFile& file) {
  std::array<std::uint8_t, kEdidImageSize> image;
  image.fill(0xFF);
  std::size_t filled = 0;
  while (filled < image.size()) {
    const std::size_t got = file.read(std::span<std::uint8_t>(image).subspan(filled));
    if (got == 0) break;
    filled += got;
  }
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

}  // namespace jig

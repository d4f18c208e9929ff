#include "sim/StandInImage.h"

#include "main/FirmwareImage.h"
#include "sim/SimImages.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

namespace jig::sim {

namespace {
// The host refuses images with this marker on a real programmer.
constexpr std::string_view kMarker = kStandInImageMarker;

// The images that have a stand-in file (all but the boot loader).
const SimImage* Shape(const std::string& tag) {
  const SimImage* image = FindSimImage(tag);
  return image && !image->file.empty() ? image : nullptr;
}
}  // namespace

std::vector<std::uint8_t> StandInImage(const std::string& tag) {
  const SimImage* shape = Shape(tag);
  if (!shape) return {};
  std::vector<std::uint8_t> image(shape->standInLength);
  std::uint32_t state = 0x9E3779B9u;
  for (char c : tag) state = state * 31u + static_cast<std::uint8_t>(c);
  for (auto& byte : image) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  const std::string header = std::string(kMarker) + tag;
  std::memcpy(image.data(), header.c_str(), header.size() + 1);
  image.back() = 0x5A;  // the image is used up to its last byte
  return image;
}

std::string StandInImageFile(const std::string& tag) {
  const SimImage* shape = Shape(tag);
  return shape ? std::string(shape->file) : "";
}

std::string ImageTagOf(std::span<const std::uint8_t> flash) {
  const std::size_t markerLength = kMarker.size();
  if (flash.size() < markerLength || std::memcmp(flash.data(), kMarker.data(), markerLength) != 0) return "";
  std::string tag;
  for (std::size_t i = markerLength; i < flash.size() && i < markerLength + 8 && flash[i] != 0; ++i)
    tag.push_back(static_cast<char>(flash[i]));
  return Shape(tag) ? tag : "";
}

std::string ToIntelHex(std::span<const std::uint8_t> image) {
  std::string text;
  char field[8];
  for (std::size_t address = 0; address < image.size(); address += 16) {
    const std::size_t count = std::min<std::size_t>(16, image.size() - address);
    std::uint8_t sum = static_cast<std::uint8_t>(count + (address >> 8) + (address & 0xFF));
    std::snprintf(field, sizeof field, ":%02X%04X", static_cast<unsigned>(count), static_cast<unsigned>(address));
    text += field;
    text += "00";
    for (std::size_t i = 0; i < count; ++i) {
      std::snprintf(field, sizeof field, "%02X", image[address + i]);
      text += field;
      sum = static_cast<std::uint8_t>(sum + image[address + i]);
    }
    std::snprintf(field, sizeof field, "%02X", static_cast<std::uint8_t>(-sum));
    text += field;
    text += "\r\n";
  }
  text += ":00000001FF\r\n";
  return text;
}

}  // namespace jig::sim

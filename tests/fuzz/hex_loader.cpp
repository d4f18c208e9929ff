// The HEX loader on any text: it takes it or refuses it, never reads or writes outside the
// image; an image it takes has a byte other than FFh at its last used address.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "main/FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jig::FirmwareImage image;
  if (jig::ParseFirmwareHex(std::span(data, size), image)) {
    if (image.lastUsed >= jig::kFirmwareImageSize || image.bytes[image.lastUsed] == 0xFF) std::abort();
    for (std::size_t i = image.lastUsed + 1; i < image.bytes.size(); ++i)
      if (image.bytes[i] != 0xFF) std::abort();
  }
  return 0;
}

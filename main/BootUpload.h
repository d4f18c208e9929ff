#pragma once
// The host side of the boot loader's upload: "pf", the image as 44-byte HEX lines paced
// by the loader's XON, and the end record.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/ProgrammerLink.h"
#include "view/TaskView.h"
#include "main/FirmwareImage.h"

namespace jig {

inline constexpr std::uint8_t kXon = 0x11;
inline constexpr std::size_t kHexLineSize = 44;

// The data line for the 16 image bytes at address: ':' "10" AAAA "00" data CC LF.
std::array<std::uint8_t, kHexLineSize> BuildHexLine(const FirmwareImage& image, unsigned address);

// The answer to one line (the bytes before and including the XON) refuses it: neither 2
// nor 3 bytes before the XON and '-' second. An answer that never ended with XON within
// 16 bytes is a refusal too.
bool IsRefusal(std::span<const std::uint8_t> answer);

// Sends the image up to its last used address on the open link (115200 baud, the boot
// loader connected). Returns kResultUpgradeOk or kResultUpgradeError.
std::string UploadFirmwareImage(ProgrammerLink& link, const FirmwareImage& image, TaskView& view);

}  // namespace jig

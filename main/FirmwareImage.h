#pragma once
// The programmer's application image, read from the Intel HEX file that carries the
// task's firmware.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "main/Tasks.h"
#include "view/TaskView.h"

namespace jig {

inline constexpr std::size_t kFirmwareImageSize = 6144;   // addresses 0000 to 17FF
inline constexpr std::size_t kHexFileBufferSize = 32768;  // one read of the file, at most

inline constexpr std::string_view kResultFileSearch = "ERROR FILE SEARCH";
inline constexpr std::string_view kResultFileFormat = "ERROR file format";
inline constexpr std::string_view kResultUpgradeError = "ERROR FW upgrade!";
inline constexpr std::string_view kResultUpgradeOk = "FW UPGRADE OK";

struct FirmwareImage {
  std::array<std::uint8_t, kFirmwareImageSize> bytes;
  unsigned lastUsed = 0;  // the highest index whose byte is not FFh
};

// Parses HEX text into image (filled with FFh first). False when the text is not a file
// this loader takes: a record not starting with ':', a character other than 0-9 and A-F
// where a hex digit belongs, a record type other than 00 and 01, a checksum that does not
// make the sum 0, a data record reaching beyond 17FF, a record cut off by the end of the
// text, no byte other than FFh, or a text that filled the whole file buffer without an
// end record (the rest of the file was not read).
bool ParseFirmwareHex(std::span<const std::uint8_t> text, FirmwareImage& image);

// The images this project builds for its simulator begin with this text. They must never
// reach a real programmer: it would run an image that is not its firmware.
inline constexpr std::string_view kStandInImageMarker = "HJIG-FW:";
bool IsStandInImage(const FirmwareImage& image);

struct LoadedImage {
  std::string result;  // empty on success, else kResultFileSearch or kResultFileFormat
  FirmwareImage image;
  bool ok() const { return result.empty(); }
};

// The folders looked in for the image file: the current folder, the program's own, then
// the installed data folder.
std::vector<std::filesystem::path> DefaultImageFolders();

// Chooses the file the task needs (none for no task), reads and parses it, logs each step
// and sets the maximum of CGauge_UPD to the last used address.
LoadedImage LoadFirmwareImage(const Task* task, TaskView& view,
                              const std::vector<std::filesystem::path>& folders);

}  // namespace jig

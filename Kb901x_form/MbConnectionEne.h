#pragma once
// The motherboard connection base "MB connection ENE.txt" and the wiring aid: which FFC
// contacts the programmer's wires A to E go to for a board, a cable size and orientation.
// Pure functions; the window and the command line show their results.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jig::ene {

inline constexpr const char* kBaseFileName = "MB connection ENE.txt";

inline constexpr const char* kNoBase = "Create base of connections KB90XX !";
inline constexpr const char* kFormatError = "Error data format!";
inline constexpr const char* kCableTooSmall = "Please select big pins FFC!";
// A pin number 0: connector pins start at 1 (no cable has a contact for it).
inline constexpr const char* kInvalidPinPrefix = "Invalid pin for ";
inline constexpr const char* kInvalidPinSuffix = ": 0 (connector pins start at 1)!";
inline constexpr const char* kConnectPrefix = "Please connect GND and: ";
inline constexpr const char* kSelectBoard = "Step 1 -> Select MB";
inline constexpr const char* kSelectCable = "Step 2 -> Select FFC cable you used";
inline constexpr const char* kLabelAtStart = "*************";

// The items of the FFC list, "18 pin" to "32 pin".
std::span<const char* const> FfcSizes();

// The base's bytes: the first readable file of that name in the folders, in order.
// A base that is there but cannot be used (a folder, a FIFO, too large) is passed over as
// if missing; problems gets a line for each.
std::optional<std::vector<std::uint8_t>> LoadBase(const std::vector<std::filesystem::path>& folders,
                                                  std::vector<std::string>* problems = nullptr);
// The current folder, the program's own folder, then the installed data folder.
std::vector<std::filesystem::path> BaseFolders();
// The line that follows kNoBase: where the base was looked for.
std::string MissingBaseLine(const std::vector<std::filesystem::path>& folders);

// Every LF-terminated line (CR dropped wherever it stands), raw bytes; an unterminated
// last line is not listed.
std::vector<std::string> SplitBaseLines(std::span<const std::uint8_t> bytes);
// The list as shown: each line decoded (UTF-8 when valid, else Windows-1251).
std::vector<std::string> BaseList(std::span<const std::uint8_t> bytes);

struct Wiring {
  enum class Kind { Label, ConversionError };
  Kind kind = Kind::Label;
  // Label: the new text of Label_result. ConversionError: the message box text; the
  // label keeps its previous text.
  std::string text;
};

// The computation for a board line, the FFC list's text and the orientation check box
// (checked: the cable's contact 1 is on the connector's pin 1).
Wiring ComputeWiring(std::string_view line, std::string_view ffcText, bool pin1ToPin1);

}  // namespace jig::ene

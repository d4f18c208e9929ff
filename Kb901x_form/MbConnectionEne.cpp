#include "Kb901x_form/MbConnectionEne.h"

#include <array>
#include <fstream>
#include <iterator>

#include "view/Cp1251.h"
#include "files/DataFiles.h"

namespace jig::ene {

namespace {
constexpr const char* kFfcSizes[] = {"18 pin", "20 pin", "24 pin", "25 pin", "26 pin", "28 pin", "30 pin", "32 pin"};

struct Key {
  const char* name;
  const char* wire;
};
// Wires A to E and the scan lines they go to, in the order of the result text.
constexpr std::array<Key, 5> kKeys = {{{"KSO3=", " A"}, {"KSI4=", " B"}, {"KSI7=", " C"}, {"KSI6=", " D"}, {"KSI5=", " E"}}};

// Bytes of the UTF-8 character that starts at text[at].
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  return std::min(n, text.size() - at);
}

// The first count characters from text[at] (fewer when the text ends).
std::string TakeChars(std::string_view text, std::size_t at, int count) {
  std::size_t end = at;
  for (int i = 0; i < count && end < text.size(); ++i) end += CharLength(text, end);
  return std::string(text.substr(at, end - at));
}

std::optional<int> DecimalValue(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string ConversionError(const std::string& taken) { return "'" + taken + "' is not a valid integer value"; }
}  // namespace

std::span<const char* const> FfcSizes() { return kFfcSizes; }

std::optional<std::vector<std::uint8_t>> LoadBase(const std::vector<std::filesystem::path>& folders,
                                                  std::vector<std::string>* problems) {
  if (auto found = ReadFirstDataFile(kBaseFileName, folders, problems)) return std::move(found->bytes);
  return std::nullopt;
}

std::vector<std::filesystem::path> BaseFolders() { return DataFolders(); }

std::string MissingBaseLine(const std::vector<std::filesystem::path>& folders) {
  return MissingFileLine(kBaseFileName, FindDataFile(kBaseFileName, folders));
}

std::vector<std::string> SplitBaseLines(std::span<const std::uint8_t> bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::uint8_t b : bytes) {
    if (b == '\r') continue;
    if (b == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      continue;
    }
    line.push_back(static_cast<char>(b));
  }
  return lines;
}

std::vector<std::string> BaseList(std::span<const std::uint8_t> bytes) {
  std::vector<std::string> list;
  for (const auto& raw : SplitBaseLines(bytes)) list.push_back(DisplayText(raw));
  return list;
}

Wiring ComputeWiring(std::string_view line, std::string_view ffcText, bool pin1ToPin1) {
  std::array<int, 5> pins{};
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    const std::string_view key = kKeys[k].name;
    const std::size_t found = line.find(key);
    if (found == std::string_view::npos) return {Wiring::Kind::Label, kFormatError};
    const std::size_t at = found + key.size();
    // The first character after '=' always counts; a second one when it is not a blank
    // (a tab is not one: "5<TAB>" is no number).
    std::string taken = TakeChars(line, at, 1);
    const std::size_t second = at + taken.size();
    if (second < line.size() && line[second] != ' ') taken += TakeChars(line, second, 1);
    const auto value = DecimalValue(taken);
    if (!value) return {Wiring::Kind::ConversionError, ConversionError(taken)};
    // Pin 0 would come out as a contact beyond the cable's last one when it is turned over.
    if (*value == 0) {
      const std::string keyName(key.substr(0, key.size() - 1));
      return {Wiring::Kind::Label, kInvalidPinPrefix + keyName + kInvalidPinSuffix};
    }
    pins[k] = *value;
  }
  const std::string cableText = TakeChars(ffcText, 0, 2);
  const auto contacts = DecimalValue(cableText);
  if (!contacts) return {Wiring::Kind::ConversionError, ConversionError(cableText)};
  for (int pin : pins)
    if (*contacts < pin) return {Wiring::Kind::Label, kCableTooSmall};
  std::string text = kConnectPrefix;
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    const int contact = pin1ToPin1 ? pins[k] : *contacts - pins[k] + 1;
    text += kKeys[k].wire + std::to_string(contact);
  }
  return {Wiring::Kind::Label, text};
}

}  // namespace jig::ene

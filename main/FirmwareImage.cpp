#include "main/FirmwareImage.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "view/CharFilter.h"
#include "files/DataFiles.h"
#include "main/Tasks.h"
#include "main/UpdateControls.h"

namespace jig {

namespace {

std::optional<std::uint8_t> HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return std::nullopt;  // lowercase and anything else: refused, never misread
}

class HexReader {
 public:
  explicit HexReader(std::span<const std::uint8_t> text) : text_(text) {}
  std::size_t position() const { return p_; }
  bool atEnd() const { return p_ >= text_.size(); }
  std::uint8_t peek() const { return text_[p_]; }
  void skip(std::size_t count) { p_ += count; }
  void finish() { p_ = text_.size(); }
  // Two characters as one byte, high digit first; nullopt past the text or on a non-digit.
  std::optional<std::uint8_t> byte() {
    if (p_ + 2 > text_.size()) return std::nullopt;
    const auto high = HexDigit(text_[p_]);
    const auto low = HexDigit(text_[p_ + 1]);
    if (!high || !low) return std::nullopt;
    p_ += 2;
    return static_cast<std::uint8_t>((*high << 4) | *low);
  }

 private:
  std::span<const std::uint8_t> text_;
  std::size_t p_ = 0;
};

// One record from the reader's position; false when it is not acceptable.
bool ParseRecord(HexReader& in, FirmwareImage& image, bool& endSeen) {
  if (in.peek() != ':') return false;
  in.skip(1);
  std::uint8_t sum = 0;
  const auto count = in.byte();
  const auto high = in.byte();
  const auto low = in.byte();
  const auto type = in.byte();
  if (!count || !high || !low || !type) return false;
  sum = static_cast<std::uint8_t>(*count + *high + *low + *type);
  if (*type == 0x00) {
    const std::size_t address = (static_cast<std::size_t>(*high) << 8) | *low;
    if (address + *count > kFirmwareImageSize) return false;  // nothing lands outside the image
    for (std::size_t i = 0; i < *count; ++i) {
      const auto data = in.byte();
      if (!data) return false;
      image.bytes[address + i] = *data;
      sum = static_cast<std::uint8_t>(sum + *data);
    }
    const auto check = in.byte();
    if (!check) return false;
    sum = static_cast<std::uint8_t>(sum + *check);
    in.skip(2);  // the line end, not examined
  } else if (*type == 0x01) {
    const auto check = in.byte();
    if (!check) return false;
    sum = static_cast<std::uint8_t>(sum + *check);
    endSeen = true;
    in.finish();  // whatever follows the end record is not looked at
  } else {
    return false;
  }
  return sum == 0;
}

}  // namespace

bool ParseFirmwareHex(std::span<const std::uint8_t> text, FirmwareImage& image) {
  image.bytes.fill(0xFF);
  image.lastUsed = 0;
  HexReader in(text);
  bool endSeen = false;
  while (!in.atEnd())
    if (!ParseRecord(in, image, endSeen)) return false;
  // A buffer filled to the brim without an end record: the file went on beyond it.
  if (!endSeen && text.size() >= kHexFileBufferSize) return false;
  for (std::size_t i = kFirmwareImageSize; i-- > 0;)
    if (image.bytes[i] != 0xFF) {
      image.lastUsed = static_cast<unsigned>(i);
      return true;
    }
  return false;  // nothing but FFh: there is nothing to program
}

std::vector<std::filesystem::path> DefaultImageFolders() { return DataFolders(); }

bool IsStandInImage(const FirmwareImage& image) {
  return std::equal(kStandInImageMarker.begin(), kStandInImageMarker.end(), image.bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

LoadedImage LoadFirmwareImage(const Task* task, TaskView& view, const std::vector<std::filesystem::path>& folders) {
  LoadedImage loaded;
  const std::string name = task ? std::string(task->imageFile) : std::string();
  std::optional<std::vector<std::uint8_t>> file;
  if (!name.empty())
    for (const auto& folder : folders) {
      std::string problem;
      file = ReadDataFile(folder / name, problem);
      if (file) break;
      if (!problem.empty()) view.log(problem);
    }
  if (!file) {
    view.log("Not found .hex file -> " + name + " for Q27 in the program folder ");
    if (!name.empty()) view.log(MissingFileLine(name, FindDataFile(name, folders)));
    loaded.result = std::string(kResultFileSearch);
    return loaded;
  }
  // One read of at most the buffer's size: a longer file is taken up to it.
  std::vector<std::uint8_t> buffer(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(std::min(file->size(), kHexFileBufferSize)));
  const std::size_t count = buffer.size();
  view.log("UPGRADE file loaded to buffer (" + name + ")");
  view.log("Bytes read from file " + std::to_string(count));
  if (!ParseFirmwareHex(std::span(buffer.data(), count), loaded.image)) {
    view.log("Wrong file format!");
    loaded.result = std::string(kResultFileFormat);
    return loaded;
  }
  view.log("HEX position_buff " + Hex4(loaded.image.lastUsed));
  view.setGaugeMax(update::control::kGauge, static_cast<int>(loaded.image.lastUsed));
  return loaded;
}

}  // namespace jig

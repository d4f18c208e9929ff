#include "sim/BootLoaderSim.h"

#include <optional>

#include "sim/SimImages.h"
#include "sim/SimProgrammer.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
constexpr std::uint8_t kXon = 0x11;
constexpr const char* kApplicationFile = "application.txt";
const std::string kDefaultGreeting = std::string("Q27_BOOT V1.3") + char(kXon);
// "pf" and the end record are answered with 7 bytes, "g" with 5, an accepted line with
// 2 bytes and XON; a refused line with '-' second and more than 3 bytes before the XON.
const std::string kEraseAnswer = std::string("\r\nPF\r\n") + char(kXon);
const std::string kEndAnswer = std::string("\rEOF\r\n") + char(kXon);
const std::string kStartAnswer = std::string("GO\r\n") + char(kXon);
const std::string kLineAnswer = std::string("\r\n") + char(kXon);
const std::string kRefusal = std::string("E-CS\r\n") + char(kXon);
constexpr std::size_t kLongestLine = 600;  // a record of 255 data bytes and its line end
constexpr auto kPieceGap = std::chrono::milliseconds(20);

std::optional<std::uint8_t> Digit(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return std::nullopt;
}

// The answers a test asked for: ';' between the answers of successive lines (the last
// one repeats), '|' between the pieces of one answer.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts{""};
  for (char c : text) {
    if (c == separator) parts.emplace_back();
    else parts.back().push_back(c);
  }
  return parts;
}
}  // namespace

BootLoaderSim::BootLoaderSim(const SimOptions& options) : options_(options) {
  // Without an upload of its own, the boot loader holds the application the programmer ran.
  const std::string fallback(kDefaultImage);
  std::string start = options.image.empty() ? LoadText(options.stateDir, "image.txt", fallback) : options.image;
  if (!FindSimImage(start) || start == kBootImage) start = fallback;
  setApplication(LoadText(options.stateDir, kApplicationFile, start));
}

void BootLoaderSim::reset() {
  greeted_ = false;
  line_.clear();
}

void BootLoaderSim::setApplication(const std::string& tag) {
  flash_ = StandInImage(tag);
  flash_.resize(kApplicationFlashSize, 0xFF);
  application_ = ImageTagOf(flash_);
  SaveText(options_.stateDir, kApplicationFile, application_);
}

void BootLoaderSim::send(SimContext& context, const std::string& text) {
  std::chrono::microseconds delay{};
  for (const std::string& piece : Split(text, '|')) {
    context.send(std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()), delay);
    delay += kPieceGap;
  }
}

bool BootLoaderSim::onByte(std::uint8_t byte, SimContext& context) {
  if (!greeted_) {
    if (byte != 'U') return true;  // noise before the loader has synchronised
    greeted_ = true;
    send(context, DecodeEscapes(options_.value("boot-greeting", kDefaultGreeting)));
    return true;
  }
  if (line_.empty() && byte == 'U') return true;  // the host's last sync bytes
  if (byte == '\n') {
    onLine(context);
    line_.clear();
    return true;
  }
  if (line_.size() < kLongestLine) line_.push_back(static_cast<char>(byte));
  return true;
}

void BootLoaderSim::onLine(SimContext& context) {
  if (line_ == "pf") {
    flash_.assign(kApplicationFlashSize, 0xFF);
    application_.clear();
    SaveText(options_.stateDir, kApplicationFile, application_);
    linesTaken_ = 0;
    lineIndex_ = 0;
    send(context, kEraseAnswer);
  } else if (line_ == "g") {
    send(context, kStartAnswer);
    if (!application_.empty()) context.runImage(application_);
  } else if (!line_.empty() && line_[0] == ':') {
    onHexRecord(context);
  }
}

void BootLoaderSim::onHexRecord(SimContext& context) {
  std::vector<std::uint8_t> bytes;
  std::string text = line_.substr(1);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.size() % 2 != 0) return refuse(context);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const auto high = Digit(text[i]);
    const auto low = Digit(text[i + 1]);
    if (!high || !low) return refuse(context);
    bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
    sum = static_cast<std::uint8_t>(sum + bytes.back());
  }
  if (bytes.size() < 5 || bytes.size() != 5u + bytes[0] || sum != 0) return refuse(context);
  const std::size_t address = static_cast<std::size_t>(bytes[1]) << 8 | bytes[2];
  if (bytes[3] == 0x01) {
    application_ = ImageTagOf(flash_);
    SaveText(options_.stateDir, kApplicationFile, application_);
    send(context, kEndAnswer);
    return;
  }
  if (bytes[3] != 0x00) return refuse(context);
  const int index = lineIndex_++;
  if (index == options_.number("boot-silent-line", -1)) return;
  if (index == options_.number("boot-refuse-line", -1)) return refuse(context);
  if (address + bytes[0] > flash_.size()) return refuse(context);
  // Programming only clears bits; "pf" erased the flash to FFh first.
  for (std::size_t i = 0; i < bytes[0]; ++i) flash_[address + i] &= bytes[4 + i];
  ++linesTaken_;
  answerLine(context);
}

void BootLoaderSim::answerLine(SimContext& context) {
  if (!options_.has("boot-line-answer")) return send(context, kLineAnswer);
  const auto answers = Split(DecodeEscapes(options_.value("boot-line-answer")), ';');
  const std::size_t turn = static_cast<std::size_t>(linesTaken_ - 1);
  send(context, answers[std::min(turn, answers.size() - 1)]);
}

void BootLoaderSim::refuse(SimContext& context) { send(context, kRefusal); }

namespace {
std::unique_ptr<SimCommandSet> MakeBootLoaderSim(const SimOptions& options) {
  return std::make_unique<BootLoaderSim>(options);
}

std::vector<FaultName> BootLoaderSimFaults() {
  return {
      {"no-reset", "nobody pushes the programmer's reset button when asked to"},
      {"reset-after=MS", "the user pushes reset MS ms after the boot loader is called for in vain (default 1000)"},
      {"no-boot-jump", "the firmware ignores '?' and stays in its image"},
      {"boot-greeting=TEXT", "the boot loader's greeting (default \"Q27_BOOT V1.3\\x11\")"},
      {"boot-line-answer=TEXT", "the answer to each HEX line: ';' between lines (the last repeats), '|' between pieces"},
      {"boot-refuse-line=N", "the boot loader refuses HEX data line N (from 0)"},
      {"boot-silent-line=N", "the boot loader does not answer HEX data line N (from 0)"},
  };
}

const SimRegistration kRegistered({"BOOT", "BOOT", MakeBootLoaderSim, BootLoaderSimFaults});
}  // namespace

}  // namespace jig::sim

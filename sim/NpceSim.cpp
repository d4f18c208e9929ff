#include "sim/NpceSim.h"

#include <algorithm>
#include <filesystem>

#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
constexpr const char* kStateFile = "npce_flash.bin";

std::vector<std::uint8_t> ParseHex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    try {
      bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    } catch (...) {
      break;
    }
  }
  return bytes;
}

// What a chip from the bench drawer holds: some firmware-like bytes, the rest erased.
std::vector<std::uint8_t> FactoryContents() {
  std::vector<std::uint8_t> bytes(NpceSim::kFlashSize, 0xFF);
  for (std::size_t i = 0; i < 0x18000; ++i) bytes[i] = static_cast<std::uint8_t>((i * 131u) ^ (i >> 9));
  return bytes;
}

std::optional<std::uint8_t> CommandByte(const std::string& text) {
  if (text.empty()) return std::nullopt;
  if (text.size() == 1) return static_cast<std::uint8_t>(text[0]);
  try {
    return static_cast<std::uint8_t>(std::stoi(text, nullptr, 0));
  } catch (...) {
    return std::nullopt;
  }
}
}  // namespace

NpceSim::NpceSim(const SimOptions& options)
    : options_(options),
      idAnswer_(ParseHex(options.value("npce-id", "EF401214"))),
      eraseMs_(options.number("npce-erase-ms", kDefaultEraseMs)),
      silentFrom_(CommandByte(options.value("npce-silent-from"))) {
  if (options.has("npce-stuck-bit"))
    stuckBitAddress_ = static_cast<std::size_t>(options.number("npce-stuck-bit", 0)) % kFlashSize;
  const bool kept = !options.stateDir.empty() &&
                    std::filesystem::exists(std::filesystem::path(options.stateDir) / kStateFile);
  flash_ = kept ? LoadBlob(options.stateDir, kStateFile, kFlashSize, 0xFF) : FactoryContents();
  if (options.has("npce-fill")) {
    auto unit = ParseHex(options.value("npce-fill"));
    if (unit.empty()) unit.push_back(0xFF);
    for (std::size_t i = 0; i < kFlashSize; ++i) flash_[i] = unit[i % unit.size()];
  }
}

NpceSim::~NpceSim() {
  std::lock_guard lock(mutex_);
  if (dirty_) save();
}

void NpceSim::save() {
  SaveBlob(options_.stateDir, kStateFile, flash_);
  dirty_ = false;
}

bool NpceSim::busy() const {
  std::lock_guard lock(mutex_);
  return receiving_;
}

void NpceSim::reset() {
  std::lock_guard lock(mutex_);
  receiving_ = false;
  incoming_.clear();
  readAddress_ = writeAddress_ = 0;
  readBlocks_ = writeBlocks_ = 0;
  if (dirty_) save();
}

std::vector<std::uint8_t> NpceSim::flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

void NpceSim::setFlash(std::vector<std::uint8_t> contents) {
  std::lock_guard lock(mutex_);
  contents.resize(kFlashSize, 0xFF);
  flash_ = std::move(contents);
}

int NpceSim::blocksWritten() const {
  std::lock_guard lock(mutex_);
  return writeBlocks_;
}

bool NpceSim::onByte(std::uint8_t byte, SimContext& context) {
  std::lock_guard lock(mutex_);
  if (receiving_) {
    incoming_.push_back(byte);
    if (incoming_.size() == kWriteBlock) programBlock(context);
    return true;
  }
  static constexpr std::uint8_t kCommands[] = {'Z', 'I', 'O', 'r', '-', 'e', 'x', 'w', 0x07};
  if (std::find(std::begin(kCommands), std::end(kCommands), byte) == std::end(kCommands)) return false;
  if (silentFrom_ && byte == *silentFrom_) silent_ = true;
  if (silent_) return true;  // the chip hangs: the firmware answers nothing more
  command(byte, context);
  return true;
}

void NpceSim::command(std::uint8_t byte, SimContext& context) {
  switch (byte) {
    case 'Z':
      readAddress_ = writeAddress_ = 0;
      readBlocks_ = writeBlocks_ = 0;
      context.send(idAnswer_);
      break;
    case 'I':
    case 'O':
      context.send(byte);
      break;
    case 'r':
      sendReadBlock(context);
      break;
    case '-': {
      // The end of a read leaves the read pointer where it is: only the ID check and 07h
      // bring it back to address 0.
      const std::uint8_t answer[2] = {static_cast<std::uint8_t>(options_.number("npce-end-answer", 1)), 0};
      context.send(answer);
      break;
    }
    case 'e':
      erase(context);
      break;
    case 'x': {
      const bool blank = std::all_of(flash_.begin(), flash_.end(), [](std::uint8_t b) { return b == 0xFF; });
      const std::uint8_t answer[2] = {static_cast<std::uint8_t>(blank ? 1 : 0), 0};
      context.send(answer, kBlankCheckTime);
      break;
    }
    case 'w':
      ++writeBlocks_;
      if (writeAddress_ >= kFlashSize || options_.number("npce-bad-ready", -1) == writeBlocks_) {
        context.send('!');
        break;
      }
      receiving_ = true;
      incoming_.clear();
      context.send('*');
      break;
    case 0x07:
      readAddress_ = 0;
      readBlocks_ = 0;
      if (dirty_) save();
      context.send(0x07);
      break;
    default:
      break;
  }
}

void NpceSim::sendReadBlock(SimContext& context) {
  ++readBlocks_;
  std::size_t count = kReadBlock;
  if (options_.number("npce-short-block", -1) == readBlocks_) --count;
  if (readAddress_ == 0) ++readPasses_;
  if (readAddress_ == 0 && readPasses_ == 2 && options_.has("npce-unstable-first-block")) {
    // A clip that sits badly: the same flash reads back differently the second time.
    std::vector<std::uint8_t> block(flash_.begin(), flash_.begin() + static_cast<std::ptrdiff_t>(count));
    for (std::size_t address : kUnstableAddresses)
      if (address < count) block[address] ^= 0x01;
    context.send(block);
    readAddress_ = (readAddress_ + kReadBlock) % kFlashSize;
    return;
  }
  context.send(std::span(flash_.data() + readAddress_, count));
  readAddress_ = (readAddress_ + kReadBlock) % kFlashSize;
}

void NpceSim::erase(SimContext& context) {
  std::uint8_t answer[2] = {1, 0};
  if (options_.has("npce-erase-fails")) {
    answer[0] = 0;
  } else {
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    if (options_.has("npce-not-blank")) flash_[kNotBlankAddress] = 0x00;
    dirty_ = true;
    save();
  }
  writeAddress_ = 0;
  writeBlocks_ = 0;
  // A third byte after the answer: a host that takes the first two and goes on finds
  // it in front of the blank check's answer, where it reads as "blank".
  const std::uint8_t surplus[3] = {answer[0], answer[1], 1};
  const std::span<const std::uint8_t> bytes = options_.has("npce-erase-surplus")
                                                  ? std::span<const std::uint8_t>(surplus)
                                                  : std::span<const std::uint8_t>(answer);
  context.send(bytes, std::chrono::milliseconds(std::max(0LL, eraseMs_)));
}

std::uint8_t NpceSim::stored(std::uint8_t wanted, std::size_t address, std::uint8_t old) const {
  std::uint8_t value = static_cast<std::uint8_t>(old & wanted);  // programming only clears bits
  if (stuckBitAddress_ && *stuckBitAddress_ == address) value |= 0x01;
  return value;
}

void NpceSim::programBlock(SimContext& context) {
  receiving_ = false;
  const bool fails = options_.number("npce-block-fails", -1) == writeBlocks_;
  if (!fails) {
    for (std::size_t i = 0; i < kWriteBlock; ++i)
      flash_[writeAddress_ + i] = stored(incoming_[i], writeAddress_ + i, flash_[writeAddress_ + i]);
    dirty_ = true;
  }
  writeAddress_ += kWriteBlock;
  incoming_.clear();
  context.send(static_cast<std::uint8_t>(fails ? 0 : 1), kPageProgramTime);
}

namespace {
std::unique_ptr<SimCommandSet> MakeNpceSim(const SimOptions& options) { return std::make_unique<NpceSim>(options); }

std::vector<FaultName> NpceSimFaults() {
  return {
      {"npce-id=HEX", "NPCE: the answer to 'Z' in hex (default EF401214; EF401300 is wrong, EF4012 short)"},
      {"npce-erase-ms=N", "NPCE: the erase takes N ms (default 1500)"},
      {"npce-erase-fails", "NPCE: the erase answers 0 and leaves the flash as it was"},
      {"npce-erase-surplus", "NPCE: the erase's 2-byte answer comes with a third byte (01h) after it"},
      {"npce-not-blank", "NPCE: after the erase one byte (1234h) stays 00h, so the blank check fails"},
      {"npce-block-fails=N", "NPCE: write block N (from 1) answers status 0 and is not programmed"},
      {"npce-stuck-bit=ADDR", "NPCE: bit 0 of the flash byte at ADDR is stuck at 1 (the verify fails)"},
      {"npce-short-block=N", "NPCE: read block N (from 1) comes one byte short"},
      {"npce-end-answer=V", "NPCE: byte 0 of the answer to '-' (default 1)"},
      {"npce-bad-ready=N", "NPCE: block request N is answered with '!' instead of '*'"},
      {"npce-silent-from=C", "NPCE: from the first command byte C (a character or 0xHH) the chip answers nothing"},
      {"npce-unstable-first-block",
       "NPCE: the first block of the second read since power-on comes with bit 0 of bytes 000h and 1FFh flipped"},
      {"npce-fill=HEX", "NPCE: the flash holds HEX (e.g. FF, 00, or a 16-byte pattern) repeated from end to end"},
  };
}

const SimRegistration kRegistered({"NPCE", "NPCE", MakeNpceSim, NpceSimFaults});
}  // namespace

}  // namespace jig::sim

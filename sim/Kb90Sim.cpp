#include "sim/Kb90Sim.h"

#include <algorithm>
#include <filesystem>

#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
// A block whose bytes stop coming for this long was abandoned by the host: the next byte
// is a command again. Only a block begun counts: how long the host takes to start one is
// its own time.
constexpr auto kAbandonedBlock = std::chrono::milliseconds(500);

// The programmer's own sum and CRC-16/ARC, bit by bit (the host keeps a table).
void SumAndCrc(const std::vector<std::uint8_t>& bytes, std::uint16_t& sum, std::uint16_t& crc) {
  sum = 0;
  crc = 0;
  for (std::uint8_t b : bytes) {
    sum = static_cast<std::uint16_t>(sum + b);
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>((crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1);
  }
}

// What a freshly bought board's controller holds: a recognisable, non-blank pattern.
std::vector<std::uint8_t> FactoryImage() {
  std::vector<std::uint8_t> image(Kb90Sim::kFlashSize);
  std::uint32_t state = 0x9012u;
  for (std::size_t i = 0; i < image.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    image[i] = static_cast<std::uint8_t>(state >> 24);
  }
  return image;
}
// kb90-fill=HEX: the flash holds these bytes repeated from end to end.
std::vector<std::uint8_t> FilledImage(const std::string& hex) {
  std::vector<std::uint8_t> unit;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const auto digit = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) break;
    unit.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  if (unit.empty()) unit.push_back(0xFF);
  std::vector<std::uint8_t> image(Kb90Sim::kFlashSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = unit[i % unit.size()];
  return image;
}
}  // namespace

Kb90Sim::Kb90Sim(const SimOptions& options) : options_(options) {
  std::error_code error;
  if (!options_.stateDir.empty() &&
      std::filesystem::file_size(std::filesystem::path(options_.stateDir) / kStateFile, error) == kFlashSize)
    flash_ = LoadBlob(options_.stateDir, kStateFile, kFlashSize, 0xFF);
  else
    flash_ = FactoryImage();
  if (options_.has("kb90-fill")) flash_ = FilledImage(options_.value("kb90-fill"));
}

bool Kb90Sim::busy() const {
  std::lock_guard lock(mutex_);
  return state_ == State::ReceivingBlock;
}

void Kb90Sim::reset() {
  std::lock_guard lock(mutex_);
  state_ = State::Idle;
  session_ = false;
  incoming_.clear();
}

std::vector<std::uint8_t> Kb90Sim::flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

void Kb90Sim::setFlash(std::vector<std::uint8_t> contents) {
  std::lock_guard lock(mutex_);
  contents.resize(kFlashSize, 0xFF);
  flash_ = std::move(contents);
  persist();
}

std::uint8_t Kb90Sim::lastEndMark() const {
  std::lock_guard lock(mutex_);
  return lastEndMark_;
}

void Kb90Sim::persist() { SaveBlob(options_.stateDir, kStateFile, flash_); }

bool Kb90Sim::onByte(std::uint8_t byte, SimContext& context) {
  std::lock_guard lock(mutex_);
  if (state_ == State::ReceivingBlock && !incoming_.empty() && context.at() - lastByteAt_ > kAbandonedBlock) {
    state_ = State::Idle;
    incoming_.clear();
  }
  lastByteAt_ = context.at();
  if (state_ == State::ReceivingBlock) {
    incoming_.push_back(byte);
    if (incoming_.size() == kBlock) {
      programBlock();
      state_ = State::Writing;
      context.send(std::uint8_t{'K'});  // block done
    }
    return true;
  }
  return onCommand(byte, context);
}

// A command byte outside a block being received (the lock is held).
bool Kb90Sim::onCommand(std::uint8_t byte, SimContext& context) {
  switch (byte) {
    case 'V': return onVersion(context);
    case 'R':
      ++reads_;
      session_ = true;
      lastEndMark_ = 0;
      state_ = State::Reading;
      block_ = 0;
      sendBlock(context);
      return true;
    case 'W': return onStartWrite(context);
    case 'N': return onNext(context);
    case 'X':
      if (!session_) return false;
      if (state_ == State::Writing) persist();
      state_ = State::Idle;
      return true;
    case 'S':
      if (state_ == State::Writing) persist();
      session_ = true;
      lastEndMark_ = 0;
      state_ = State::Idle;
      sendChecksum(context);
      return true;
    case 'I':
    case 'O':
      if (!session_) return false;
      if (state_ == State::Writing) persist();
      session_ = false;
      state_ = State::Idle;
      lastEndMark_ = byte;
      return true;
    default:
      return false;
  }
}

bool Kb90Sim::onVersion(SimContext& context) {
  session_ = true;
  lastEndMark_ = 0;
  const bool noController = options_.has("kb90-no-controller");
  const long long id = options_.number("kb90-id", kDefaultVersionId);
  context.send(noController ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(id));
  return true;
}

bool Kb90Sim::onStartWrite(SimContext& context) {
  session_ = true;
  lastEndMark_ = 0;
  // The programmer erases the whole flash before it takes the first block.
  std::fill(flash_.begin(), flash_.end(), std::uint8_t{0xFF});
  state_ = State::ReceivingBlock;
  block_ = 0;
  incoming_.clear();
  const auto erase = std::chrono::milliseconds(std::max(0LL, options_.number("kb90-erase-ms", 0)));
  context.send(std::uint8_t{'K'}, erase);  // ready for block 1
  return true;
}

bool Kb90Sim::onNext(SimContext& context) {
  if (state_ == State::Reading && block_ + 1 < kBlocks) {
    ++block_;
    sendBlock(context);
    return true;
  }
  if (state_ == State::Writing && block_ + 1 < kBlocks) {
    ++block_;
    incoming_.clear();
    state_ = State::ReceivingBlock;
    context.send(std::uint8_t{'K'});  // ready for the next block
    return true;
  }
  return state_ != State::Idle;
}

void Kb90Sim::sendBlock(SimContext& context) {
  const long long silentBlock = options_.number("kb90-silence-block", -1);
  if (silentBlock >= 1 && block_ + 1 >= silentBlock) return;  // the controller stopped answering
  std::vector<std::uint8_t> out(flash_.begin() + static_cast<std::ptrdiff_t>(block_ * kBlock),
                                flash_.begin() + static_cast<std::ptrdiff_t>((block_ + 1) * kBlock));
  if (options_.number("kb90-surplus-block", -1) == block_ + 1) out.insert(out.end(), 8, std::uint8_t{0x00});
  // A clip that sits badly: the same flash reads back differently the second time.
  if (block_ == 0 && reads_ == 2 && options_.has("kb90-unstable-first-block"))
    for (std::size_t address : kUnstableAddresses) out[address] ^= 0x01;
  context.send(out);
}

void Kb90Sim::programBlock() {
  const std::size_t base = static_cast<std::size_t>(block_) * kBlock;
  const long long badAddress = options_.number("kb90-bad-byte", -1);
  for (std::size_t i = 0; i < kBlock; ++i) {
    std::uint8_t value = incoming_[i];
    // A weak cell keeps one bit that should have been cleared, or clears one it should not.
    if (badAddress >= 0 && static_cast<std::size_t>(badAddress) == base + i) value ^= 0x01;
    flash_[base + i] &= value;  // programming only clears bits
  }
  incoming_.clear();
}

void Kb90Sim::sendChecksum(SimContext& context) {
  const bool stray = options_.has("kb90-stray-marks");
  // Paced, the programmer sends each mark as it has read a block back, and the checksum
  // when it has computed it; unpaced, everything leaves in one burst.
  const auto perBlock = std::chrono::microseconds(
      options_.has("kb90-pace-marks") ? std::max(1LL, options_.number("kb90-pace-marks", kDefaultMarkPaceUs)) : 0);
  const auto split = std::chrono::microseconds(
      options_.has("kb90-split-checksum") ? std::max(1LL, options_.number("kb90-split-checksum", kDefaultSplitUs)) : 0);
  std::vector<std::uint8_t> out;
  out.reserve(kBlocks * 2 + 4);
  auto flush = [&](std::chrono::microseconds delay) {
    if (out.empty()) return;
    context.send(out, delay);
    out.clear();
  };
  for (int i = 0; i < kBlocks; ++i) {
    if (stray && i % 64 == 0) out.push_back(static_cast<std::uint8_t>('0' + i / 64));
    out.push_back('-');
    if (perBlock.count() > 0) flush(perBlock * (i + 1));
  }
  if (stray) out.push_back('\r');
  if (perBlock.count() > 0 || split.count() > 0) flush(perBlock * kBlocks);
  std::uint16_t sum = 0;
  std::uint16_t crc = 0;
  SumAndCrc(flash_, sum, crc);
  out.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  out.push_back(static_cast<std::uint8_t>(sum >> 8));
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  // Unsplit, the checksum leaves with the last mark (in the same burst when unpaced).
  flush(perBlock * kBlocks + split);
}

namespace {
std::unique_ptr<SimCommandSet> MakeKb90Sim(const SimOptions& options) { return std::make_unique<Kb90Sim>(options); }

std::vector<FaultName> Kb90SimFaults() {
  return {
      {"kb90-id=N", "the KB9012's Embedded Debug version ID answered to 'V' (255 = no controller)"},
      {"kb90-no-controller", "no KB90xx controller answers: 'V' gives FFh"},
      {"kb90-silence-block=N", "a KB90xx read goes silent from block N (1-512) on"},
      {"kb90-surplus-block=N", "block N of a KB90xx read comes with 8 surplus bytes"},
      {"kb90-erase-ms=N", "the KB90xx erase before a write takes N ms: the ready byte for block 1 comes then (default 0)"},
      {"kb90-bad-byte=ADDR", "the KB9012 flash stores the byte at ADDR wrong (one bit flipped)"},
      {"kb90-stray-marks", "other bytes come mixed among the KB90xx checksum's '-' marks"},
      {"kb90-pace-marks=US", "pacing: the KB90xx checksum's marks come one per block as the flash is read back, US apart (no value: 100)"},
      {"kb90-split-checksum=US", "pacing: the KB90xx checksum comes US after its last mark, not with it (no value: 2000)"},
      {"kb90-unstable-first-block",
       "block 1 of the second KB90xx read since power-on comes with bit 0 of bytes 00h and FFh flipped"},
      {"kb90-fill=HEX", "the KB9012 flash holds HEX (e.g. FF, 00, or a 16-byte pattern) repeated from end to end"},
  };
}

const SimRegistration kRegistered({"KB90", "V41", MakeKb90Sim, Kb90SimFaults});
}  // namespace

}  // namespace jig::sim

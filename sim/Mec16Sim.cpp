#include "sim/Mec16Sim.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {

constexpr const char* kMainFile = "mec16-main.bin";
constexpr const char* kInfoFile = "mec16-info.bin";
constexpr std::size_t kBlockData = 1024;
constexpr std::size_t kPageBytes = 256;

// What a board arrives with: the old firmware, never blank, so a write without an erase
// shows its damage.
std::vector<std::uint8_t> OldFirmware(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>((state >> 24) & 0x7F);  // never FFh
  }
  return bytes;
}

std::vector<std::uint8_t> LoadArray(const SimOptions& options, const char* name, std::size_t size,
                                    std::uint32_t seed) {
  std::error_code ec;
  if (!options.stateDir.empty() && std::filesystem::exists(std::filesystem::path(options.stateDir) / name, ec))
    return LoadBlob(options.stateDir, name, size, 0xFF);
  return OldFirmware(size, seed);
}

bool IsHex(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// "FFFFFFFF" or "0x1609": the ID in hex; the model's own ID when none or not hex.
std::uint32_t ParseId(const std::string& text) {
  try {
    return text.empty() ? Mec16Sim::kDefaultId : static_cast<std::uint32_t>(std::stoull(text, nullptr, 16));
  } catch (...) {
    return Mec16Sim::kDefaultId;
  }
}

std::uint32_t ParseHex(const std::string& digits) { return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)); }

// "2FFFF" or "0x2FFFF": a flash address in hex; nothing when it is not one.
std::optional<std::uint32_t> ParseAddress(const SimOptions& options, const std::string& name) {
  if (!options.has(name)) return std::nullopt;
  try {
    std::size_t used = 0;
    const std::string text = options.value(name);
    const unsigned long value = std::stoul(text, &used, 16);
    if (used != text.size()) return std::nullopt;
    return static_cast<std::uint32_t>(value);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

Mec16Sim::Mec16Sim(const SimOptions& options)
    : options_(options),
      main_(LoadArray(options, kMainFile, kMainSize, 0x1609)),
      info_(LoadArray(options, kInfoFile, kInfoSize, 0x0409)),
      id_(ParseId(options.value("mec16-id"))),
      fwp_(options.has("mec16-fwp")),
      bootLock_(options.has("mec16-boot-lock")),
      flipAddress_(ParseAddress(options, "mec16-flip-bit")) {}

Mec16Sim::~Mec16Sim() {
  std::lock_guard lock(mutex_);
  if (dirty_) save();
}

void Mec16Sim::save() {
  SaveBlob(options_.stateDir, kMainFile, main_);
  SaveBlob(options_.stateDir, kInfoFile, info_);
  dirty_ = false;
}

bool Mec16Sim::busy() const {
  std::lock_guard lock(mutex_);
  return state_ != State::Idle;
}

void Mec16Sim::reset() {
  std::lock_guard lock(mutex_);
  if (dirty_) save();
  state_ = State::Idle;
  digits_.clear();
  page_.clear();
  pageAnswer_.reset();
  silent_ = false;
}

bool Mec16Sim::faultAt(const std::string& name, int index) const {
  if (!options_.has(name)) return false;
  std::stringstream list(options_.value(name));
  std::string item;
  while (std::getline(list, item, ','))
    if (!item.empty() && std::strtol(item.c_str(), nullptr, 10) == index) return true;
  return false;
}

std::optional<std::uint64_t> Mec16Sim::answer(SimContext& context, std::vector<std::uint8_t> bytes,
                                              std::chrono::microseconds delay) {
  if (silent_) return std::nullopt;
  return context.send(bytes, delay);
}

void Mec16Sim::startOperation() {
  registerAccesses_ = 0;
  blocks_ = 0;
  pages_ = 0;
  silent_ = false;
}

bool Mec16Sim::onByte(std::uint8_t byte, SimContext& context) {
  std::unique_lock lock(mutex_);
  switch (state_) {
    case State::Idle: return onIdle(byte, context);
    case State::Collecting: return onCollecting(byte, context);
    case State::Streaming:
      if (byte == 'N') sendBlock(context);
      else if (byte == 'X') state_ = State::Idle;
      return true;
    case State::Page: return onPage(byte, context);
    case State::BetweenPages: return onBetweenPages(byte, context);
  }
  return false;
}

bool Mec16Sim::onIdle(std::uint8_t byte, SimContext& context) {
  switch (byte) {
    case '1':
      startOperation();
      answer(context, {'1'});
      return true;
    case 'j': {
      std::vector<std::uint8_t> id = {static_cast<std::uint8_t>(id_ >> 24), static_cast<std::uint8_t>(id_ >> 16),
                                      static_cast<std::uint8_t>(id_ >> 8), static_cast<std::uint8_t>(id_)};
      // A JTAG chain that drops out mid-answer: only the first bytes of the ID come.
      const long long bytes = options_.number("mec16-id-bytes", 4);
      if (bytes >= 1 && bytes < 4) id.resize(static_cast<std::size_t>(bytes));
      answer(context, id);
      return true;
    }
    case 'r':
    case 'w':
    case 'R':
      command_ = byte;
      digits_.clear();
      state_ = State::Collecting;
      return true;
    case 'W':
      streamAddress_ = registers_[kFlashAddress] & 0xFFFFFF;
      page_.clear();
      state_ = State::Page;
      pageAnswer_ = answer(context, {'W'});
      return true;
    case 'N':
    case 'X':
    case 'I':
    case 'O':
    case '0':
      return true;  // end marks, or a stream mark out of place: nothing to answer
    default:
      return false;
  }
}

bool Mec16Sim::onCollecting(std::uint8_t byte, SimContext& context) {
  if (!IsHex(byte)) {  // a broken command: the firmware drops it and waits anew
    state_ = State::Idle;
    return true;
  }
  digits_.push_back(static_cast<char>(byte));
  const std::size_t need = command_ == 'w' ? 14 : 6;
  if (digits_.size() == need) {
    state_ = State::Idle;
    execute(context);
  }
  return true;
}

bool Mec16Sim::onPage(std::uint8_t byte, SimContext& context) {
  // The firmware takes a page only once its answer to "W" or "N" has gone to the host:
  // bytes that come before the host has read that answer fall on deaf ears.
  if (pageAnswer_ && !context.hostHasTaken(*pageAnswer_)) {
    ++lostPageBytes_;
    return true;
  }
  page_.push_back(byte);
  if (page_.size() == kPageBytes) programPage(context);
  return true;
}

bool Mec16Sim::onBetweenPages(std::uint8_t byte, SimContext& context) {
  if (byte == 'N') {
    page_.clear();
    state_ = State::Page;
    pageAnswer_ = answer(context, {'N'});
  } else if (byte == 'X') {
    state_ = State::Idle;
    if (dirty_) save();
  }
  return true;
}

void Mec16Sim::execute(SimContext& context) {
  const std::uint32_t address = ParseHex(digits_.substr(0, 6));
  if (command_ == 'r') return registerRead(address, context);
  if (command_ == 'w') return registerWrite(address, ParseHex(digits_.substr(6, 8)), context);
  streamAddress_ = address;
  streamBlocks_ = 0;
  if (address == kMainBase) ++mainReads_;
  state_ = State::Streaming;
  sendBlock(context);
}

void Mec16Sim::registerRead(std::uint32_t address, SimContext& context) {
  ++registerAccesses_;
  std::uint32_t value = 0;
  if (address == kFlashStatus) {
    ++statusReads_;
    // Busy for the erase's time and, past it, for the reads still owed.
    const bool busy = busyReadsLeft_ > 0 || context.at() < eraseEnd_;
    value = (busy ? 0x01u : 0u) | (bootLock_ ? 0x08u : 0u) | (fwp_ ? 0x10u : 0u);
    if (busyReadsLeft_ > 0) --busyReadsLeft_;
  } else if (address == kDeviceRegister) {
    value = kDeviceValue;
  } else {
    const auto it = registers_.find(address);
    value = it == registers_.end() ? 0 : it->second;
  }
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), 0x01};
  if (faultAt("mec16-lose-register", registerAccesses_)) bytes.pop_back();  // the last byte is lost
  answer(context, bytes);
}

void Mec16Sim::registerWrite(std::uint32_t address, std::uint32_t value, SimContext& context) {
  ++registerAccesses_;
  if (faultAt("mec16-lose-register", registerAccesses_)) {
    answer(context, {0x00});  // the controller did not take it
    return;
  }
  if (address != kFlashStatus && address != kDeviceRegister) registers_[address] = value;
  const bool eraseStart = address == kFlashAddress && (value == 0x00F80000 || value == 0x00FC0000) &&
                          registers_[kFlashCommand] == 0x107 && registers_[kFlashEnable] == 1;
  if (eraseStart && !fwp_ && !bootLock_) {
    std::fill(main_.begin(), main_.end(), 0xFF);
    if (value == 0x00FC0000) std::fill(info_.begin(), info_.end(), 0xFF);
    busyReadsLeft_ = static_cast<int>(options_.number("mec16-erase-reads", 3));
    eraseEnd_ = context.at() + std::chrono::milliseconds(std::max(0LL, options_.number("mec16-erase-ms", 0)));
    ++erases_;
    save();
  }
  answer(context, {0x01});
}

std::uint8_t* Mec16Sim::flashAt(std::uint32_t address, std::size_t length) {
  if (address >= kMainBase && address + length <= kMainBase + kMainSize) return main_.data() + (address - kMainBase);
  if (address >= kInfoBase && address + length <= kInfoBase + kInfoSize) return info_.data() + (address - kInfoBase);
  return nullptr;
}

void Mec16Sim::sendBlock(SimContext& context) {
  ++blocks_;
  if (blockHook_) blockHook_(blocks_);
  std::vector<std::uint8_t> block(kBlockData + 1, 0xFF);
  const bool reading = registers_[kFlashEnable] == 1 && registers_[kFlashCommand] == 0x105;
  const std::uint8_t* flash = flashAt(streamAddress_, kBlockData);
  if (flash) std::copy_n(flash, kBlockData, block.begin());
  // A contact that settles after the first read: its second read starts wrong.
  if (++streamBlocks_ == 1 && mainReads_ == 2 && streamAddress_ == kMainBase && options_.has("mec16-unstable-first-block"))
    for (std::size_t i = 0; i < kUnstableBytes; ++i) block[kUnstableOffset + i] ^= 0xFF;
  // A write reads MAIN before it (its backup or blank check): a block fault may be meant for a
  // later read only.
  const bool faultyRead = !options_.has("mec16-fault-read") || options_.number("mec16-fault-read", 0) == mainReads_;
  block[kBlockData] = (reading && flash && !(faultyRead && faultAt("mec16-bad-block", blocks_))) ? 0x01 : 0x00;
  streamAddress_ += kBlockData;
  const auto delay = std::chrono::microseconds(options_.number("mec16-slow-blocks", 0));
  if (faultyRead && faultAt("mec16-silent-block", blocks_)) {
    block.resize(kBlockData / 2);  // half a block, then nothing more in this operation
    answer(context, block, delay);
    silent_ = true;
    return;
  }
  answer(context, block, delay);
}

void Mec16Sim::programPage(SimContext& context) {
  ++pages_;
  state_ = State::BetweenPages;
  if (faultAt("mec16-silent-page", pages_)) {
    silent_ = true;
    return;
  }
  const bool programming = registers_[kFlashEnable] == 1 && registers_[kFlashCommand] == 0x106;
  std::uint8_t* flash = flashAt(streamAddress_, kPageBytes);
  // Paced, the answer comes when the page is programmed (64 words over JTAG), not at once.
  const auto programTime = std::chrono::microseconds(std::max(0LL, options_.number("mec16-page-us", 0)));
  if (!programming || !flash || fwp_ || bootLock_ || faultAt("mec16-no-g", pages_)) {
    answer(context, {kPageRefused}, programTime);
    return;
  }
  // NOR: a program can only clear bits.
  for (std::size_t i = 0; i < kPageBytes; ++i) flash[i] &= page_[i];
  // A weak cell: one bit of the stored byte turns the other way after programming.
  if (flipAddress_ && *flipAddress_ >= streamAddress_ && *flipAddress_ < streamAddress_ + kPageBytes)
    flash[*flipAddress_ - streamAddress_] ^= 0x01;
  streamAddress_ += kPageBytes;
  dirty_ = true;
  answer(context, {'G'}, programTime);
}

std::vector<std::uint8_t> Mec16Sim::mainArray() const {
  std::lock_guard lock(mutex_);
  return main_;
}

std::vector<std::uint8_t> Mec16Sim::infoArray() const {
  std::lock_guard lock(mutex_);
  return info_;
}

void Mec16Sim::setMainArray(std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  bytes.resize(kMainSize, 0xFF);
  main_ = std::move(bytes);
}

void Mec16Sim::setProtection(bool fwp, bool bootLock) {
  std::lock_guard lock(mutex_);
  fwp_ = fwp;
  bootLock_ = bootLock;
}

void Mec16Sim::setId(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  id_ = id;
}

std::uint32_t Mec16Sim::registerValue(std::uint32_t address) const {
  std::lock_guard lock(mutex_);
  const auto it = registers_.find(address);
  return it == registers_.end() ? 0 : it->second;
}

int Mec16Sim::statusReads() const {
  std::lock_guard lock(mutex_);
  return statusReads_;
}

int Mec16Sim::mainReads() const {
  std::lock_guard lock(mutex_);
  return mainReads_;
}

int Mec16Sim::lostPageBytes() const {
  std::lock_guard lock(mutex_);
  return lostPageBytes_;
}

int Mec16Sim::erases() const {
  std::lock_guard lock(mutex_);
  return erases_;
}

void Mec16Sim::setBlockHook(std::function<void(int)> hook) {
  std::lock_guard lock(mutex_);
  blockHook_ = std::move(hook);
}

namespace {
std::unique_ptr<SimCommandSet> MakeMec16Sim(const SimOptions& options) { return std::make_unique<Mec16Sim>(options); }

std::vector<FaultName> Mec16SimFaults() {
  return {
      {"mec16-id=HEX", "the MEC16xx answers this ID to 'j' (FFFFFFFF: a dead chip)"},
      {"mec16-id-bytes=N", "the MEC16xx answers 'j' with only the first N (1-3) bytes of its ID"},
      {"mec16-fwp", "the MEC16xx's nFWP pin protects the flash"},
      {"mec16-boot-lock", "the MEC16xx's Boot_Lock is set"},
      {"mec16-erase-reads=N", "a MEC16xx erase holds the busy bit for N status reads (default 3)"},
      {"mec16-erase-ms=N", "a MEC16xx erase holds the busy bit for N ms as well (default 0)"},
      {"mec16-lose-register=N[,M..]", "the MEC16xx's Nth register access of an operation is answered short"},
      {"mec16-bad-block=N[,M..]", "the MEC16xx's Nth streamed read block has a bad status byte"},
      {"mec16-silent-block=N", "the MEC16xx sends half of read block N, then nothing more"},
      {"mec16-fault-read=R", "mec16-bad-block and mec16-silent-block hit only the Rth MAIN read since power-on"},
      {"mec16-no-g=N[,M..]", "the MEC16xx does not program page N and answers it without 'G'"},
      {"mec16-silent-page=N", "the MEC16xx answers nothing from page N on"},
      {"mec16-slow-blocks=US", "each MEC16xx read block starts US microseconds late"},
      {"mec16-page-us=US", "pacing: the MEC16xx answers each written page US microseconds after its last byte, when it is programmed"},
      {"mec16-flip-bit=ADDR", "bit 0 of the MEC16xx flash byte at ADDR (hex) flips once its page is programmed"},
      {"mec16-unstable-first-block", "the first block of the MEC16xx's second MAIN read comes with 4 bytes at 200h inverted"},
  };
}

const SimRegistration kRegistered({"MEC16", "V42", MakeMec16Sim, Mec16SimFaults});
}  // namespace

}  // namespace jig::sim

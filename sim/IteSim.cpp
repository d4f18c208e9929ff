#include "sim/IteSim.h"

#include <algorithm>
#include <sstream>

#include "sim/SimImages.h"
#include "sim/SimState.h"

namespace jig::sim {

namespace {
constexpr const char* kFlashFile = "ite-flash.bin";
constexpr const char* kPinsFile = "ite-pins.bin";
constexpr std::uint8_t kDone = 0x6F, kNoController = 0x65, kRefused = 0x2D;
// The identification the controller gives at register addresses 00, 01, 02.
constexpr std::uint8_t kId1 = 0x85, kId2 = 0x02, kRevision = 0x07;
// The programmer's firmware waits this long for the controller after Connect.
constexpr long long kDefaultConnectWindowMs = 5000;
// A board wired like the first motherboard of the sample base.
constexpr IteSim::Pins kDefaultWiring = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16};

IteSim::Pins ParseWiring(const std::string& text, const IteSim::Pins& fallback) {
  IteSim::Pins pins{};
  std::stringstream in(text);
  std::string item;
  int count = 0;
  while (std::getline(in, item, ',')) {
    if (count == IteSim::kSignals) return fallback;
    try {
      const int pin = std::stoi(item);
      if (pin < 0 || pin > 32) return fallback;
      pins[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(pin);
    } catch (...) {
      return fallback;
    }
  }
  return count == IteSim::kSignals ? pins : fallback;
}
}  // namespace

IteSim::IteSim(const SimOptions& options)
    : options_(options), flash_(LoadBlob(options.stateDir, kFlashFile, kFlashSize, 0xFF)) {
  wiring_ = ParseWiring(options.value("ite-wiring"), kDefaultWiring);
  const auto saved = LoadBlob(options.stateDir, kPinsFile, kSignals, 0xFF);
  if (saved[0] != 0xFF) {
    std::copy(saved.begin(), saved.end(), applied_.begin());
    pinsKnown_ = true;
  }
}

IteSim::~IteSim() { save(); }

void IteSim::save() const {
  if (options_.stateDir.empty()) return;
  SaveBlob(options_.stateDir, kFlashFile, flash_);
  if (pinsKnown_) SaveBlob(options_.stateDir, kPinsFile, std::vector<std::uint8_t>(applied_.begin(), applied_.end()));
}

bool IteSim::busy() const { return pending_ != Pending::None; }

void IteSim::reset() {
  pending_ = Pending::None;
  argument_.clear();
  frame_.clear();
  streaming_ = false;
}

bool IteSim::reachable() const {
  const long long lostFrom = options_.number("ite-lost-from", -1);
  if (inAction_ && lostFrom >= 0 && commands_ >= lostFrom) return false;
  return !options_.has("ite-absent") && pinsKnown_ && applied_ == wiring_;
}

bool IteSim::silenced() {
  const long long from = options_.number("ite-silent-from", -1);
  return inAction_ && from >= 0 && commands_ >= from;
}

void IteSim::answer(SimContext& context, std::uint8_t byte, std::chrono::microseconds delay) {
  if (!silenced()) context.send(byte, delay);
}

int IteSim::pinSlot(std::uint8_t code1, std::uint8_t code2) const {
  static constexpr std::uint8_t kCodes[kSignals][2] = {{'d', '0'}, {'d', '1'}, {'d', '2'}, {'d', '3'}, {'d', '4'},
                                                       {'d', '5'}, {'d', '6'}, {'d', '7'}, {'B', 'L'}, {'W', 'R'},
                                                       {'D', 'S'}, {'I', 'N'}, {'A', 'S'}, {'K', '4'}, {'K', '5'}};
  for (int i = 0; i < kSignals; ++i)
    if (kCodes[i][0] == code1 && kCodes[i][1] == code2) return i;
  return -1;
}

bool IteSim::onByte(std::uint8_t byte, SimContext& context) {
  if (pending_ == Pending::None) return onCommand(byte, context);
  argument_.push_back(byte);
  switch (pending_) {
    case Pending::SetAddress: return onSetAddress(byte, context);
    case Pending::WriteRegister: return onWriteRegister(byte, context);
    case Pending::FlashAddress: return onFlashAddress(context);
    case Pending::ProgramByte: return onProgramByte(byte, context);
    case Pending::Settings: return onSettings(context);
    case Pending::None: break;
  }
  return true;
}

bool IteSim::onCommand(std::uint8_t byte, SimContext& context) {
  switch (byte) {
    case 'T': return onConnect(context);
    case 'A': pending_ = Pending::SetAddress; break;
    case 'W': pending_ = Pending::WriteRegister; break;
    case 'Y': pending_ = Pending::FlashAddress; break;
    case 'w': pending_ = Pending::ProgramByte; break;
    case 'R': return onReadRegister(context);
    case 'S': return onEnterSettings(context);
    case 'r': return onReadBlock(context);
    case 'I':
    case 'O': return onEnd(byte);
    default: return false;
  }
  argument_.clear();
  ++commands_;
  return true;
}

bool IteSim::onConnect(SimContext& context) {
  commands_ = 1;  // faults count the commands of one action, from its Connect
  inAction_ = true;
  blocks_ = 0;
  actionPrograms_ = 0;
  erasedInAction_ = false;
  const auto window = std::chrono::milliseconds(options_.number("ite-connect-window-ms", kDefaultConnectWindowMs));
  if (!reachable()) {
    // The firmware gives up when no controller answered within its window.
    answer(context, kNoController, window);
    return true;
  }
  // The user plugs the adapter in after the first Connect; it stays on the board for the
  // actions that follow (a read-back after a write finds it there).
  if (!pluggedAt_)
    pluggedAt_ = context.at() + std::chrono::milliseconds(std::max(0LL, options_.number("ite-plug-ms", 0)));
  const auto wait = std::max(SimTime::duration::zero(), *pluggedAt_ - context.at());
  if (wait > window) answer(context, kNoController, window);
  else answer(context, kDone, std::chrono::duration_cast<std::chrono::microseconds>(wait));
  return true;
}

bool IteSim::onReadRegister(SimContext& context) {
  ++commands_;
  if (!reachable()) return answer(context, kNoController), true;
  if (address_ == 0) answer(context, kId1);
  else if (address_ == 1) answer(context, kId2);
  else if (address_ == 2) answer(context, kRevision);
  else answer(context, registers_[address_]);
  return true;
}

bool IteSim::onEnterSettings(SimContext& context) {
  argument_.clear();  // a new command: nothing of an earlier one is its argument
  commands_ = 1;
  inAction_ = false;
  pinCommands_ = 0;
  if (options_.has("ite-settings-refused")) return answer(context, kRefused), true;
  settingsPins_ = applied_;
  pending_ = Pending::Settings;
  answer(context, 0x2A);
  return true;
}

bool IteSim::onReadBlock(SimContext& context) {
  ++commands_;
  ++blocks_;
  std::vector<std::uint8_t> block(257, 0xFF);
  const bool ok = reachable() && streaming_;
  for (std::size_t i = 0; i < 256 && ok; ++i) {
    block[i] = flash_[streamAddress_];
    streamAddress_ = (streamAddress_ + 1) % kFlashSize;
  }
  // A clip that sat badly while the second read began: its first block comes wrong.
  if (ok && ++streamBlocks_ == 1 && streams_ == 2 && options_.has("ite-unstable-first-block"))
    for (std::size_t i = 0; i < 256; ++i) block[i] ^= 0xFF;
  block[256] = ok ? kDone : kNoController;
  if (options_.number("ite-bad-block", -1) == blocks_) block[256] = kNoController;
  if (options_.number("ite-short-block", -1) == blocks_) block.resize(100);
  if (!silenced()) context.send(block);
  return true;
}

bool IteSim::onEnd(std::uint8_t byte) {
  // A cell that lost its charge after the write: seen only by a read that follows.
  if (byte == 'I' && erasedInAction_ && !bitFlipped_ && options_.has("ite-flip-bit")) {
    flash_[static_cast<std::size_t>(options_.number("ite-flip-bit", 0)) % kFlashSize] ^= 0x01;
    bitFlipped_ = true;
  }
  save();
  return true;
}

bool IteSim::onSetAddress(std::uint8_t byte, SimContext& context) {
  pending_ = Pending::None;
  argument_.clear();
  if (!reachable()) return answer(context, kNoController), true;
  address_ = byte;
  answer(context, kDone);
  return true;
}

bool IteSim::onWriteRegister(std::uint8_t byte, SimContext& context) {
  pending_ = Pending::None;
  argument_.clear();
  if (!reachable()) return answer(context, kNoController), true;
  writeRegister(byte, context.at());
  answer(context, kDone);
  return true;
}

bool IteSim::onFlashAddress(SimContext& context) {
  if (argument_.size() < 3) return true;
  pending_ = Pending::None;
  if (!reachable()) return answer(context, kNoController), true;
  programAddress_ = ((argument_[0] << 16) | (argument_[1] << 8) | argument_[2]) % kFlashSize;
  // The firmware answers once the flash is ready again (after a chip erase).
  const auto wait = std::max(SimTime::duration::zero(), eraseEnd_ - context.at());
  answer(context, kDone, std::chrono::duration_cast<std::chrono::microseconds>(wait));
  return true;
}

bool IteSim::onProgramByte(std::uint8_t byte, SimContext& context) {
  pending_ = Pending::None;
  ++programCount_;
  if (options_.number("ite-program-silent", -1) == ++actionPrograms_) return true;
  if (!reachable()) return answer(context, kNoController), true;
  flash_[programAddress_] &= byte;  // programming only clears bits
  programAddress_ = (programAddress_ + 1) % kFlashSize;
  answer(context, kDone);
  return true;
}

bool IteSim::onSettings(SimContext& context) {
  if (argument_.size() < 3) return true;
  ++commands_;
  const std::uint8_t code1 = argument_[0], code2 = argument_[1], pin = argument_[2];
  argument_.clear();
  ++pinCommands_;
  if (options_.number("ite-pin-refused", -1) == pinCommands_) {
    pending_ = Pending::None;
    answer(context, kRefused);
    return true;
  }
  if (code1 == 'Q' && code2 == 'Q' && pin == 'Q') {
    pending_ = Pending::None;
    applied_ = settingsPins_;
    pinsKnown_ = true;
    save();
    answer(context, 0x2B);
    return true;
  }
  const int slot = pinSlot(code1, code2);
  if (slot < 0 || pin > 32) {
    pending_ = Pending::None;
    answer(context, kRefused);
    return true;
  }
  settingsPins_[static_cast<std::size_t>(slot)] = pin;
  answer(context, 0x2B);
  return true;
}

void IteSim::writeRegister(std::uint8_t value, SimTime at) {
  registers_[address_] = value;
  if (address_ != 0x08) return;
  // The flash interface works once it has been readied (register 27 set to 80).
  if (registers_[0x27] != 0x80) return;
  if (registers_[0x05] != 0xFE && registers_[0x05] != 0xFD) return;
  // A serial flash that is erasing ignores every frame: a fast read sent now streams
  // nothing, and a command sent now is never carried out.
  if (at < eraseEnd_) {
    frame_.clear();
    ++ignoredWhileErasing_;
    return;
  }
  if (registers_[0x05] == 0xFE) return frameBoundary(at);
  frame_.push_back(value);
  // Fast read: command, three address bytes, one dummy byte, then the flash streams.
  if (frame_.size() == 5 && frame_[0] == 0x0B) {
    streaming_ = true;
    ++streams_;
    streamBlocks_ = 0;
    streamAddress_ = ((frame_[1] << 16) | (frame_[2] << 8) | frame_[3]) % kFlashSize;
  }
}

void IteSim::frameBoundary(SimTime at) {
  // A serial flash acts on a command when its frame ends (chip select rises).
  streaming_ = false;
  if (frame_.size() == 1) {
    const std::uint8_t command = frame_[0];
    if (command == 0x06) {
      writeEnabled_ = true;
    } else if ((command == 0x60 || command == 0xC7) && writeEnabled_) {
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      writeEnabled_ = false;
      erasedInAction_ = true;
      eraseEnd_ = at + std::chrono::milliseconds(std::max(0LL, options_.number("ite-erase-ms", 200)));
      save();
    } else if (command == 0x04) {
      writeEnabled_ = false;
    }
  }
  frame_.clear();
}

namespace {
std::unique_ptr<SimCommandSet> MakeIteSim(const SimOptions& options) { return std::make_unique<IteSim>(options); }

std::vector<FaultName> IteSimFaults() {
  return {
      {"ite-absent", "ITE: no controller on the cable (Connect answers 65 when its window ends)"},
      {"ite-wiring=LIST", "ITE: the board's true wiring, 15 pins PD0..PD7,BUSY,STB,AFD,INIT,SLIN,KSI4,KSI5"},
      {"ite-plug-ms=N", "ITE: the adapter goes onto the board N ms after the first Connect and stays (above the connect window: never)"},
      {"ite-connect-window-ms=N", "ITE: how long Connect waits for the controller (default 5000)"},
      {"ite-erase-ms=N", "ITE: the chip erase takes N ms (default 200)"},
      {"ite-settings-refused", "ITE: Enter settings is not answered 2A"},
      {"ite-pin-refused=N", "ITE: the N-th pin setting after Enter settings is refused"},
      {"ite-bad-block=N", "ITE: Read block N after Connect ends with 65 instead of 6F"},
      {"ite-short-block=N", "ITE: Read block N after Connect stops after 100 bytes"},
      {"ite-program-silent=N", "ITE: the N-th Program byte after Connect is never answered"},
      {"ite-lost-from=N", "ITE: the controller stops answering (65) from the N-th command after Connect on"},
      {"ite-silent-from=N", "ITE: no answer from the N-th command after Connect on (Connect is the 1st)"},
      {"ite-flip-bit=ADDR", "ITE: bit 0 of the flash byte at ADDR flips once a write (chip erase) has ended with 49"},
      {"ite-unstable-first-block", "ITE: the first block of the second fast read since power-on comes inverted"},
  };
}

const SimRegistration kRegistered({"ITE", "ITE", MakeIteSim, IteSimFaults});
}  // namespace

}  // namespace jig::sim

#pragma once
// The "ITE" image's command set in front of an ITE controller whose flash interface
// drives a 128 KiB serial NOR flash. The programmer reaches the controller only when the
// pin assignment last applied matches the board's true wiring, as on a bench.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class IteSim : public SimCommandSet {
 public:
  static constexpr std::size_t kFlashSize = 131072;
  static constexpr int kSignals = 15;
  // Pins in the order PD0..PD7, BUSY, STB#, AFD#, INIT#, SLIN#, KSI4, KSI5.
  using Pins = std::array<std::uint8_t, kSignals>;

  explicit IteSim(const SimOptions& options);
  ~IteSim() override;

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override;
  void reset() override;

  // The bench (tests look at the chip and the pins).
  std::vector<std::uint8_t>& flash() { return flash_; }
  const Pins& appliedPins() const { return applied_; }
  const Pins& wiring() const { return wiring_; }
  bool reachable() const;
  std::uint8_t reg(std::uint8_t address) const { return registers_[address]; }
  int programCount() const { return programCount_; }
  // Flash frame bytes and boundaries that came while a chip erase ran (the flash ignored them).
  int ignoredWhileErasing() const { return ignoredWhileErasing_; }
  void save() const;

 private:
  enum class Pending { None, SetAddress, WriteRegister, FlashAddress, ProgramByte, Settings };
  // A byte with no command pending, then one handler for each command's argument bytes.
  bool onCommand(std::uint8_t byte, SimContext& context);
  bool onConnect(SimContext& context);
  bool onReadRegister(SimContext& context);
  bool onEnterSettings(SimContext& context);
  bool onReadBlock(SimContext& context);
  bool onEnd(std::uint8_t byte);
  bool onSetAddress(std::uint8_t byte, SimContext& context);
  bool onWriteRegister(std::uint8_t byte, SimContext& context);
  bool onFlashAddress(SimContext& context);
  bool onProgramByte(std::uint8_t byte, SimContext& context);
  bool onSettings(SimContext& context);
  void writeRegister(std::uint8_t value, SimTime at);
  void frameBoundary(SimTime at);
  void answer(SimContext& context, std::uint8_t byte, std::chrono::microseconds delay = {});
  bool silenced();
  int pinSlot(std::uint8_t code1, std::uint8_t code2) const;

  SimOptions options_;
  std::vector<std::uint8_t> flash_;
  Pins wiring_{};
  Pins applied_{};
  bool pinsKnown_ = false;  // nothing applied since power-on (and nothing saved)
  std::array<std::uint8_t, 256> registers_{};
  std::uint8_t address_ = 0;

  Pending pending_ = Pending::None;
  std::vector<std::uint8_t> argument_;
  Pins settingsPins_{};
  int pinCommands_ = 0;  // pin settings seen since power-on (faults count them)

  // Serial flash behind registers 05/08.
  std::vector<std::uint8_t> frame_;
  bool writeEnabled_ = false;
  SimTime eraseEnd_{};
  int ignoredWhileErasing_ = 0;
  bool streaming_ = false;
  std::uint32_t streamAddress_ = 0;
  std::uint32_t programAddress_ = 0;
  int streams_ = 0;        // fast reads started since power-on (faults count them)
  int streamBlocks_ = 0;   // Read block commands served from the current fast read
  bool erasedInAction_ = false;  // a chip erase since the last Connect
  bool bitFlipped_ = false;
  std::optional<SimTime> pluggedAt_;  // when the adapter went onto the board

  bool inAction_ = false;  // since a Connect (the settings are not counted)
  int commands_ = 0;       // commands since the last Connect or Enter settings (faults count them)
  int blocks_ = 0;         // Read block commands seen
  int programCount_ = 0;   // Program byte commands seen since power-on
  int actionPrograms_ = 0;  // since the last Connect
};

}  // namespace jig::sim

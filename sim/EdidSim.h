#pragma once
// The V41 image's EDID commands in front of a 256-byte LCD panel EEPROM.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class EdidSim : public SimCommandSet {
 public:
  static constexpr std::size_t kSize = 256;

  explicit EdidSim(const SimOptions& options);

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override;
  void reset() override;

  // The bench: what the EEPROM holds, and whether it is there and writable.
  std::vector<std::uint8_t> contents() const;
  void setContents(const std::vector<std::uint8_t>& bytes);
  void setPresent(bool present);
  void setWriteProtected(bool protectedChip);
  int writesDone() const;

 private:
  enum class Step { Idle, Command, Data };
  void answerRead(SimContext& context);
  void finishWrite(SimContext& context);

  mutable std::mutex mutex_;
  std::string stateDir_;
  std::vector<std::uint8_t> eeprom_;
  bool present_;
  bool writeProtected_;
  std::string badStatus_;  // replaces "OK"/"ER" when set
  bool noReady_;
  std::chrono::microseconds writeTime_;  // from the last data byte to the status
  Step step_ = Step::Idle;
  std::vector<std::uint8_t> incoming_;
  int writes_ = 0;
};

}  // namespace jig::sim

#pragma once
// The KB90xx command set of the "V41" image in front of a KB9012 with 128 KiB of flash:
// 'V' version ID, 'R'/'N' read, 'W'/'N' write, 'X', 'S' sum and CRC-16 with progress
// marks, 'I'/'O' end marks. Faults on demand (see Kb90SimFaults).
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class Kb90Sim : public SimCommandSet {
 public:
  static constexpr std::size_t kFlashSize = 128 * 1024;
  static constexpr std::size_t kBlock = 256;
  static constexpr int kBlocks = 512;
  static constexpr std::uint8_t kDefaultVersionId = 0x30;
  static constexpr const char* kStateFile = "kb9012.bin";
  // kb90-unstable-first-block: these bytes of block 1 come with bit 0 flipped.
  static constexpr std::size_t kUnstableAddresses[] = {0x00, 0xFF};
  // kb90-pace-marks and kb90-split-checksum without a value: a mark every 100 us (the
  // sum of 512 blocks in about 50 ms), the checksum 2 ms after the last mark.
  static constexpr long long kDefaultMarkPaceUs = 100;
  static constexpr long long kDefaultSplitUs = 2000;

  explicit Kb90Sim(const SimOptions& options);

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override;
  void reset() override;

  // The chip, for tests (safe while the programmer runs: guarded by its own lock).
  std::vector<std::uint8_t> flash() const;
  void setFlash(std::vector<std::uint8_t> contents);
  // The end mark the host sent last ('I', 'O' or 0 when none since the last command).
  std::uint8_t lastEndMark() const;

 private:
  enum class State { Idle, Reading, Writing, ReceivingBlock };

  bool onCommand(std::uint8_t byte, SimContext& context);
  bool onVersion(SimContext& context);
  bool onStartWrite(SimContext& context);
  bool onNext(SimContext& context);
  void sendBlock(SimContext& context);
  void programBlock();
  void sendChecksum(SimContext& context);
  void persist();

  mutable std::mutex mutex_;
  SimOptions options_;
  std::vector<std::uint8_t> flash_;
  State state_ = State::Idle;
  int block_ = 0;  // 0-based block of the transfer in progress
  std::vector<std::uint8_t> incoming_;
  bool session_ = false;  // a command of this set came since the last end mark
  std::uint8_t lastEndMark_ = 0;
  SimTime lastByteAt_{};
  int reads_ = 0;  // 'R' commands since power-on (a reset of the image keeps the count)
};

}  // namespace jig::sim

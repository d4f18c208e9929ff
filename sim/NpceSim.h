#pragma once
// The NPCE firmware image's command set in front of an NPCE288N/388N with 128 KiB of NOR
// flash: programming only clears bits, the erase sets every byte to FFh and takes its time.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class NpceSim : public SimCommandSet {
 public:
  static constexpr std::size_t kFlashSize = 131072;
  static constexpr std::size_t kReadBlock = 512;
  static constexpr std::size_t kWriteBlock = 256;
  // The programmer's own work, beside the erase (whose time the options set).
  static constexpr std::chrono::microseconds kBlankCheckTime{30000};
  static constexpr std::chrono::microseconds kPageProgramTime{400};
  static constexpr long long kDefaultEraseMs = 1500;
  static constexpr std::uint32_t kNotBlankAddress = 0x1234;
  // npce-unstable-first-block: these bytes of the first 512-byte block come with bit 0 flipped.
  static constexpr std::size_t kUnstableAddresses[] = {0x000, 0x1FF};

  explicit NpceSim(const SimOptions& options);
  ~NpceSim() override;

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override;
  void reset() override;

  // The bench: what the chip holds.
  std::vector<std::uint8_t> flash() const;
  void setFlash(std::vector<std::uint8_t> contents);
  // Blocks programmed since the last erase.
  int blocksWritten() const;

 private:
  void command(std::uint8_t byte, SimContext& context);
  void sendReadBlock(SimContext& context);  // 'r'
  void erase(SimContext& context);          // 'e'

  void programBlock(SimContext& context);
  std::uint8_t stored(std::uint8_t wanted, std::size_t address, std::uint8_t old) const;
  void save();

  const SimOptions options_;
  std::vector<std::uint8_t> idAnswer_;
  long long eraseMs_;
  std::optional<std::size_t> stuckBitAddress_;
  std::optional<std::uint8_t> silentFrom_;

  mutable std::mutex mutex_;
  std::vector<std::uint8_t> flash_;
  bool receiving_ = false;
  bool silent_ = false;
  std::vector<std::uint8_t> incoming_;
  std::size_t readAddress_ = 0;
  std::size_t writeAddress_ = 0;
  int readBlocks_ = 0;   // 'r' answered since the read pointer went back to 0
  int writeBlocks_ = 0;  // 'w' answered since the ID check or the erase
  int readPasses_ = 0;   // reads that started at address 0 since power-on
  bool dirty_ = false;
};

}  // namespace jig::sim

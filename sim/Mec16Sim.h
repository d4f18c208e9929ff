#pragma once
// The "V42" image's JTAG command set in front of a MEC1609: ID, the flash registers, a
// 192 KiB MAIN and a 2 KiB INFO array with NOR behaviour (programming only clears bits,
// an erase sets FFh), the protection bits and faults on demand.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

class Mec16Sim : public SimCommandSet {
 public:
  static constexpr std::size_t kMainSize = 196608;
  static constexpr std::size_t kInfoSize = 2048;
  static constexpr std::uint32_t kMainBase = 0x000000;
  static constexpr std::uint32_t kInfoBase = 0x040000;
  static constexpr std::uint32_t kFlashEnable = 0xFF3910;
  static constexpr std::uint32_t kFlashCommand = 0xFF3908;
  static constexpr std::uint32_t kFlashAddress = 0xFF3904;
  static constexpr std::uint32_t kFlashStatus = 0xFF390C;
  static constexpr std::uint32_t kDeviceRegister = 0xFFFD00;
  static constexpr std::uint32_t kDeviceValue = 0x00000001;
  static constexpr std::uint32_t kDefaultId = 0x16090001;
  static constexpr std::uint8_t kPageRefused = 'E';
  // mec16-unstable-first-block: where and how the first block of the second MAIN read
  // comes changed.
  static constexpr std::size_t kUnstableOffset = 0x200;
  static constexpr std::size_t kUnstableBytes = 4;

  explicit Mec16Sim(const SimOptions& options);
  ~Mec16Sim() override;

  bool onByte(std::uint8_t byte, SimContext& context) override;
  bool busy() const override;
  void reset() override;

  // The bench.
  std::vector<std::uint8_t> mainArray() const;
  std::vector<std::uint8_t> infoArray() const;
  void setMainArray(std::vector<std::uint8_t> bytes);
  void setProtection(bool fwp, bool bootLock);
  void setId(std::uint32_t id);
  std::uint32_t registerValue(std::uint32_t address) const;
  int statusReads() const;  // reads of FF390Ch since power-on
  int erases() const;       // erases that ran
  int mainReads() const;    // streamed reads from the start of MAIN since power-on
  // Page bytes that came before the host had read the answer to "W" or "N" (lost).
  int lostPageBytes() const;
  // Called when a streamed block (counted from 1 within the operation) starts out, with
  // the set's lock held: keep it short and do not call back into the programmer.
  void setBlockHook(std::function<void(int)> hook);

 private:
  enum class State { Idle, Collecting, Streaming, Page, BetweenPages };

  // One handler for each state a byte can find the firmware in (the lock is held).
  bool onIdle(std::uint8_t byte, SimContext& context);
  bool onCollecting(std::uint8_t byte, SimContext& context);
  bool onPage(std::uint8_t byte, SimContext& context);
  bool onBetweenPages(std::uint8_t byte, SimContext& context);
  void startOperation();
  void execute(SimContext& context);
  void registerRead(std::uint32_t address, SimContext& context);
  void registerWrite(std::uint32_t address, std::uint32_t value, SimContext& context);
  void sendBlock(SimContext& context);
  void programPage(SimContext& context);
  std::optional<std::uint64_t> answer(SimContext& context, std::vector<std::uint8_t> bytes,
                                      std::chrono::microseconds delay = {});
  std::uint8_t* flashAt(std::uint32_t address, std::size_t length);
  bool faultAt(const std::string& name, int index) const;
  void save();

  mutable std::mutex mutex_;
  SimOptions options_;
  std::vector<std::uint8_t> main_, info_;
  std::map<std::uint32_t, std::uint32_t> registers_;
  std::uint32_t id_;
  bool fwp_, bootLock_;
  int busyReadsLeft_ = 0;
  SimTime eraseEnd_{};
  int statusReads_ = 0;
  int erases_ = 0;
  bool dirty_ = false;
  std::optional<std::uint32_t> flipAddress_;  // mec16-flip-bit
  int mainReads_ = 0;
  int streamBlocks_ = 0;  // blocks of the current stream

  State state_ = State::Idle;
  std::uint8_t command_ = 0;
  std::string digits_;
  std::uint32_t streamAddress_ = 0;
  std::vector<std::uint8_t> page_;
  std::optional<std::uint64_t> pageAnswer_;  // the answer to "W" or "N" the page waits behind
  int lostPageBytes_ = 0;
  // Counted from the "1" that starts an operation, for the faults.
  int registerAccesses_ = 0;
  int blocks_ = 0;
  int pages_ = 0;
  bool silent_ = false;
  std::function<void(int)> blockHook_;
};

}  // namespace jig::sim

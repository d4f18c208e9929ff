#pragma once
// One command set of a programmer firmware image (or its boot loader), in front of the
// chip it drives. The programmer offers it the host's bytes; it answers through the
// context. Command sets live as long as the programmer, so a chip keeps its contents
// across firmware switches.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "sim/SimOptions.h"

namespace jig::sim {

using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;

class SimProgrammer;

class SimContext {
 public:
  SimContext(SimProgrammer& programmer, SimTime at) : programmer_(programmer), at_(at) {}
  // When the byte being handled reached the programmer.
  SimTime at() const { return at_; }
  // Queues an answer; delay is the programmer's own work before it starts sending. Returns
  // the number of its last byte in the bridge's queue (none when nothing was queued: a
  // fault silenced it, or it went out at a baud rate the host does not listen at).
  std::optional<std::uint64_t> send(std::span<const std::uint8_t> bytes, std::chrono::microseconds delay = {});
  std::optional<std::uint64_t> send(std::uint8_t byte, std::chrono::microseconds delay = {});
  // Whether the host has read (or purged) the queued byte of that number.
  bool hostHasTaken(std::uint64_t queued) const;
  // The boot loader starts an application image; the firmware enters the boot loader.
  void runImage(std::string_view tag);
  const SimOptions& options() const;
  SimProgrammer& programmer() { return programmer_; }

 private:
  SimProgrammer& programmer_;
  SimTime at_;
};

class SimCommandSet {
 public:
  virtual ~SimCommandSet() = default;
  // One byte from the host. A set that is not busy may refuse a byte that starts none of
  // its commands by returning false; the programmer then offers it to the next set.
  virtual bool onByte(std::uint8_t byte, SimContext& context) = 0;
  // In the middle of a command: every byte belongs to this set (data may hold 'B' or '?').
  virtual bool busy() const = 0;
  // The image stopped running (switch, reset): forget any command in progress.
  virtual void reset() {}
};

}  // namespace jig::sim

#pragma once
// The time bytes take between host and programmer: 10 bits a byte at the link's baud
// rate (8N1); towards the host the bridge releases data in USB packets of 62 data bytes,
// or a partial packet when its latency timer runs out. Off, every byte is there at once.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace jig::sim {

using WireClock = std::chrono::steady_clock;
using WireTime = WireClock::time_point;
using WireDuration = std::chrono::nanoseconds;

struct WireModel {
  static constexpr std::uint32_t kPacketDataBytes = 62;

  bool enabled = false;
  std::uint32_t baud = 921600;
  std::uint32_t latencyMs = 16;  // the bridge's default until the host sets it

  WireDuration byteTime() const { return enabled ? ByteTime(baud) : WireDuration(0); }
  WireDuration latency() const {
    return enabled ? std::chrono::milliseconds(latencyMs) : WireDuration(0);
  }
  // One byte's time on the wire: start bit, 8 data bits, stop bit.
  static WireDuration ByteTime(std::uint32_t baud) {
    return baud == 0 ? WireDuration(0) : WireDuration(10'000'000'000LL / baud);
  }
};

// The bridge's way towards the host: the serial line into its buffer, then out in USB
// packets. Feed it each byte as the programmer starts sending it; it says when the host
// can have that byte. A full packet leaves at once, so bytes already queued in it are
// released earlier: the caller gets the packet's first byte number to move them.
class PacketClock {
 public:
  struct Placed {
    WireTime onWire;                    // the byte's stop bit is in the bridge
    WireTime release;                   // the host can read it
    bool packetFull = false;            // this byte filled the packet: release all of it now
    std::uint64_t packetFirstByte = 0;  // number of the packet's first byte
  };

  Placed place(WireTime generated, WireDuration byteTime, WireDuration latency) {
    Placed placed;
    placed.onWire = (generated > wireFree_ ? generated : wireFree_) + byteTime;
    wireFree_ = placed.onWire;
    if (count_ > 0 && placed.onWire > first_ + latency) count_ = 0;
    if (count_ == 0) {
      first_ = placed.onWire;
      firstByte_ = next_;
    }
    placed.release = first_ + latency;
    placed.packetFirstByte = firstByte_;
    ++next_;
    if (++count_ == WireModel::kPacketDataBytes) {
      placed.packetFull = true;
      placed.release = placed.onWire;
      count_ = 0;
    }
    return placed;
  }
  // The bridge's buffer was emptied (purge, reset): the next byte opens a new packet.
  void dropPacket() { count_ = 0; }

 private:
  WireTime wireFree_{};
  WireTime first_{};
  std::uint64_t firstByte_ = 0;
  std::uint64_t next_ = 0;
  std::uint32_t count_ = 0;
};

// One write of the host or one answer of the programmer, as the simulator saw it.
struct TranscriptEntry {
  bool toDevice = true;  // host -> programmer, else programmer -> host
  std::vector<std::uint8_t> bytes;
  WireTime at;  // host: the write call; programmer: when it starts sending (after its work)
  std::uint32_t baud = 0;
  std::uint32_t latencyMs = 16;  // the bridge's latency timer at that moment
  // Programmer answers only: the host byte (counted over the transcript's host bytes)
  // being handled when it answered, and the work it did before sending.
  std::uint64_t cause = 0;
  WireDuration work{};
};

// The least time an exchange can take: from the host's first write until the last answer
// byte is released, when every host write goes out the moment the answers it had
// read before it (in the recorded run) are released, and the programmer's work takes
// what it took. What is left of a measured time beyond this is the host's doing.
// latencyMs, when given, replaces the bridge's latency timer in the best case (the run's
// own timer still decides which answers the host waited for).
WireDuration BestCaseTime(std::span<const TranscriptEntry> transcript,
                          std::optional<std::uint32_t> latencyMs = std::nullopt);

// The host's own share of a recorded run: for every write, the time from the moment it
// could have written (the last answer byte released before it, or its previous write)
// to the write. Where a measured time exceeds the best case, this says how much of it
// the host spent turning around between exchanges.
WireDuration HostTurnaround(std::span<const TranscriptEntry> transcript);

}  // namespace jig::sim

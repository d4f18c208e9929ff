#pragma once
// The time bytes take between host and programmer: 10 bits a byte at the link's baud
// rate (8N1); towards the host the bridge releases data in USB packets of 62 data bytes,
// or a partial packet when its latency timer runs out. Off, every byte is there at once.
#include <chrono>
#include <cstdint>

namespace jig::sim {

using WireDuration = std::chrono::nanoseconds;

struct WireModel {
  static constexpr std::uint32_t kPacketDataBytes = 62;

  bool enabled = false;
  std::uint32_t baud = 921600;
  std::uint32_t latencyMs = 16;  // the bridge's default until the host sets it

  WireDuration byteTime() const {
    return enabled ? WireDuration(10'000'000'000LL / baud) : WireDuration(0);
  }
  WireDuration latency() const {
    return enabled ? std::chrono::milliseconds(latencyMs) : WireDuration(0);
  }
};

}  // namespace jig::sim

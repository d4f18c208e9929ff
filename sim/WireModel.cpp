#include "sim/WireModel.h"

#include <algorithm>
#include <optional>

namespace jig::sim {

namespace {

// The wire towards the programmer: each byte's arrival, one after another.
class HostWire {
 public:
  // Appends the arrival of every byte written at start.
  void write(WireTime start, std::size_t count, WireDuration byteTime, std::vector<WireTime>& arrivals) {
    WireTime arrival = std::max(start, free_);
    for (std::size_t i = 0; i < count; ++i) {
      arrival += byteTime;
      arrivals.push_back(arrival);
    }
    free_ = arrival;
  }

 private:
  WireTime free_{};
};

// The release of every answer byte, with full packets moved forward.
void Release(PacketClock& clock, WireTime generated, std::size_t count, WireDuration byteTime,
             WireDuration latency, std::vector<WireTime>& releases) {
  for (std::size_t i = 0; i < count; ++i) {
    const PacketClock::Placed placed = clock.place(generated, byteTime, latency);
    releases.push_back(placed.release);
    if (placed.packetFull)
      for (std::uint64_t k = placed.packetFirstByte; k < releases.size(); ++k) releases[k] = placed.release;
  }
}

}  // namespace

WireDuration BestCaseTime(std::span<const TranscriptEntry> transcript, std::optional<std::uint32_t> latencyMs) {
  if (transcript.empty()) return WireDuration(0);
  // Replays the recorded run twice at once: as it happened (to learn which answers the
  // host had before each write) and at best (every wait as short as the wire allows).
  const WireTime origin = transcript.front().at;
  HostWire realIn, bestIn;
  PacketClock realOut, bestOut;
  std::vector<WireTime> realArrivals, bestArrivals;  // per host byte
  std::vector<WireTime> realReleases, bestReleases;  // per answer byte
  WireTime lastWrite = origin;
  WireTime end = origin;
  for (const TranscriptEntry& entry : transcript) {
    const WireDuration byteTime = WireModel::ByteTime(entry.baud);
    if (entry.toDevice) {
      // Answer bytes released before this write in the run: the host may have waited for
      // them, so at best it writes when the last of them is released.
      const auto had = std::upper_bound(realReleases.begin(), realReleases.end(), entry.at);
      WireTime start = lastWrite;
      if (had != realReleases.begin()) {
        const auto index = static_cast<std::size_t>(std::distance(realReleases.begin(), had)) - 1;
        start = std::max(start, bestReleases[index]);  // releases come in order
      }
      lastWrite = start;
      realIn.write(entry.at, entry.bytes.size(), byteTime, realArrivals);
      bestIn.write(start, entry.bytes.size(), byteTime, bestArrivals);
      end = std::max(end, bestArrivals.empty() ? end : bestArrivals.back());
      continue;
    }
    const WireDuration latency = std::chrono::milliseconds(entry.latencyMs);
    const WireDuration bestLatency = std::chrono::milliseconds(latencyMs.value_or(entry.latencyMs));
    // The programmer starts after the byte it answers reached it and its work is done.
    const WireTime bestStart =
        entry.cause < bestArrivals.size() ? bestArrivals[entry.cause] + entry.work : lastWrite + entry.work;
    Release(realOut, entry.at, entry.bytes.size(), byteTime, latency, realReleases);
    Release(bestOut, bestStart, entry.bytes.size(), byteTime, bestLatency, bestReleases);
    if (!bestReleases.empty()) end = std::max(end, bestReleases.back());
  }
  return end - origin;
}

WireDuration HostTurnaround(std::span<const TranscriptEntry> transcript) {
  PacketClock out;
  std::vector<WireTime> releases;
  std::optional<WireTime> previousWrite;
  WireDuration total{0};
  for (const TranscriptEntry& entry : transcript) {
    if (!entry.toDevice) {
      Release(out, entry.at, entry.bytes.size(), WireModel::ByteTime(entry.baud),
              std::chrono::milliseconds(entry.latencyMs), releases);
      continue;
    }
    std::optional<WireTime> could = previousWrite;
    const auto had = std::upper_bound(releases.begin(), releases.end(), entry.at);
    if (had != releases.begin() && (!could || *std::prev(had) > *could)) could = *std::prev(had);
    if (could) total += entry.at - *could;
    previousWrite = entry.at;
  }
  return total;
}

}  // namespace jig::sim

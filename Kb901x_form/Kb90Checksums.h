#pragma once
// The two values the programmer returns after a write, computed here over the bytes sent:
// a 16-bit byte sum and CRC-16/ARC (polynomial 8005h reflected, initial 0, no final XOR).
#include <cstdint>
#include <span>

namespace jig {

std::uint16_t Crc16ArcUpdate(std::uint16_t crc, std::span<const std::uint8_t> bytes);
std::uint16_t Sum16Update(std::uint16_t sum, std::span<const std::uint8_t> bytes);

struct Kb90Sums {
  std::uint16_t SUMM_KB90 = 0;
  std::uint16_t CRC16_KB90 = 0;

  void add(std::span<const std::uint8_t> bytes) {
    SUMM_KB90 = Sum16Update(SUMM_KB90, bytes);
    CRC16_KB90 = Crc16ArcUpdate(CRC16_KB90, bytes);
  }
  bool operator==(const Kb90Sums&) const = default;
};

}  // namespace jig

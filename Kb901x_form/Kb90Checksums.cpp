#include "Kb901x_form/Kb90Checksums.h"

#include <array>

namespace jig {

namespace {
constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<std::uint16_t>(crc >> 1);
    table[i] = crc;
  }
  return table;
}
constexpr std::array<std::uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0xC0C1 && kTable[255] == 0x4040, "CRC-16/ARC table");
}  // namespace

std::uint16_t Crc16ArcUpdate(std::uint16_t crc, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) crc = static_cast<std::uint16_t>(kTable[(crc ^ b) & 0xFFu] ^ (crc >> 8));
  return crc;
}

std::uint16_t Sum16Update(std::uint16_t sum, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) sum = static_cast<std::uint16_t>(sum + b);
  return sum;
}

}  // namespace jig

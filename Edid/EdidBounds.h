#pragma once
// The EDID EEPROM's bounds, each with the reason for its value.
#include <cstdint>

namespace jig::limits {

// The 258-byte read answer: the programmer reads 256 bytes over a 100 kHz I2C bus (about
// 25 ms) and sends them in under 3 ms; two seconds leave room for a slow USB bus.
inline constexpr std::uint32_t kEdidReadTimeoutMs = 2000;
// The ready byte after 'E' 'w': the programmer answers at once.
inline constexpr std::uint32_t kEdidReadyTimeoutMs = 1000;
// The write status: 256 bytes written byte by byte at up to 10 ms each take 2.6 s at the
// slowest; five seconds cover the slowest EEPROM.
inline constexpr std::uint32_t kEdidWriteTimeoutMs = 5000;

}  // namespace jig::limits

#pragma once
// SHA-256 of a dump, for the backup's name and log line: the technician can tell two
// backups apart, and check a copy, by the digest alone.
#include <cstdint>
#include <span>
#include <string>

namespace jig {

// Lower-case hexadecimal, 64 digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace jig

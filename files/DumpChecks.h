#pragma once
// Checks on a whole dump that a technician cannot see in a hex editor at a glance: a flash
// that answered nothing but one value or one short pattern (a bad contact, a clip that
// slipped), and the comparison of two images (verify after write, read twice).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "view/LogLanguage.h"

namespace jig {

enum class DumpPattern { Mixed, AllFF, All00, Repeated, Empty };

struct DumpVerdict {
  DumpPattern pattern = DumpPattern::Mixed;
  std::size_t period = 0;  // the length of the repeated pattern (Repeated only)
};

// A pattern counts as short up to this many bytes, and only when it repeats at least
// kMinPatternRepeats times: a real image never repeats one short block from end to end.
inline constexpr std::size_t kMaxPatternPeriod = 256;
inline constexpr std::size_t kMinPatternRepeats = 4;

DumpVerdict CheckDumpPattern(std::span<const std::uint8_t> dump);

struct DumpDifference {
  std::size_t firstAddress = 0;
  std::size_t count = 0;  // differing bytes; a byte missing from the shorter image differs
};

// Nothing when the two are equal, length included.
std::optional<DumpDifference> CompareDumps(std::span<const std::uint8_t> expected,
                                           std::span<const std::uint8_t> actual);

// The one line a read logs about its dump: a warning, or that the content looks real.
std::string DumpPatternLine(const DumpVerdict& verdict, LogLanguage language);
bool IsSuspiciousDump(const DumpVerdict& verdict);

// "first difference at 0x00001234, 3 bytes differ", for the lines that name a difference.
std::string DifferenceText(const DumpDifference& difference, LogLanguage language);
// The line after a verify read-back.
std::string VerifyLine(const std::optional<DumpDifference>& difference, LogLanguage language);
// The line after a second read; on a difference it also says the file is not written.
std::string ReadTwiceLine(const std::optional<DumpDifference>& difference, LogLanguage language);

}  // namespace jig

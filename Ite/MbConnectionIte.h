#pragma once
// The ITE motherboard base "MB connection ITE.txt" and the pin assignment it yields:
// which connector pin carries each of the 15 signals of the ITE flash interface.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jig::ite {

inline constexpr const char* kBaseFileName = "MB connection ITE.txt";
inline constexpr int kSignalCount = 15;
inline constexpr int kMaxPin = 32;  // box entries "NC", "1" … "32"

struct IteSignal {
  std::string_view name;   // as the messages name it
  std::string_view label;  // beside the box
  std::string_view box;    // the box's control name
  std::string_view key;    // in the base
  std::uint8_t code1, code2;  // Pin setting code
};

// In the order the base is parsed (this is also the order of a pin assignment).
extern const std::array<IteSignal, kSignalCount> kSignals;
// The order APPLY sends them in: indexes into kSignals.
extern const std::array<int, kSignalCount> kApplyOrder;

using PinAssignment = std::array<int, kSignalCount>;  // 0 = "NC", 1..32

// One base, read once: found or not, and its lines as raw bytes.
struct IteBase {
  bool found = false;
  std::vector<std::string> lines;
  std::string problem;  // why a file that is there is not used (a folder, a FIFO, too large)
};

// Bytes to lines: LF ends a line, CR is dropped wherever it stands, text after the
// last LF is not taken.
std::vector<std::string> SplitBaseLines(std::string_view bytes);
IteBase LoadIteBase(const std::string& path);
// The current directory first, then the program's own folder, then the installed data
// folder: the first usable file; one that is there but not usable gets its line in problems
// and the search goes on. The bare name when none is usable.
std::string FindBesideProgram(const std::string& name, std::vector<std::string>* problems = nullptr);
// The line that follows the missing-base message: where the base at basePath (the bare
// name: the default search) was looked for.
std::string MissingBaseLine(const std::string& basePath);

// The value after a key: one or two characters, the second unless it is a space or the
// line ends.
struct KeyValue {
  enum Kind { Missing, NotNumber, Number } kind = Missing;
  int value = 0;
};
KeyValue ReadKeyValue(std::string_view line, std::string_view key);

// The parse of an MB line. It stops at the first bad signal; pins holds the values
// taken so far (the others as they were).
struct ParseResult {
  enum Kind { Ok, MissingKey, BadPin, NotNumber } kind = Ok;
  int signal = -1;  // the signal that stopped it
  PinAssignment pins{};
  int taken = 0;  // how many signals were set, from the first
};
ParseResult ParseMbLine(std::string_view line, const PinAssignment& before);

// The reversed-cable mirror: pin p becomes N + 1 - p; "NC" stays "NC".
struct MirrorResult {
  enum Kind { Ok, MissingCount, BadCount, PinOutside } kind = Ok;
  int signal = -1;  // PinOutside: a pin above N, which has no mirror on that connector
  int count = 0;
  PinAssignment pins{};
};
MirrorResult MirrorPins(std::string_view line, const PinAssignment& pins);

}  // namespace jig::ite

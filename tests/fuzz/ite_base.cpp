// The ITE wiring base: any file split into lines, each line parsed and mirrored.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Ite/MbConnectionIte.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace jig::ite;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto lines = SplitBaseLines(text);
  lines.emplace_back(text);  // the whole input as one line as well
  PinAssignment pins{};
  for (const auto& line : lines) {
    const ParseResult parsed = ParseMbLine(line, pins);
    if (parsed.taken < 0 || parsed.taken > kSignalCount) std::abort();
    for (int pin : parsed.pins)
      if (pin < 0 || pin > kMaxPin) std::abort();
    if (parsed.kind == ParseResult::Ok) pins = parsed.pins;
    const MirrorResult mirrored = MirrorPins(line, pins);
    if (mirrored.kind == MirrorResult::Ok)
      for (int pin : mirrored.pins)
        if (pin < 0 || pin > kMaxPin) std::abort();
    ReadKeyValue(line, "KB_pins");
  }
  return 0;
}

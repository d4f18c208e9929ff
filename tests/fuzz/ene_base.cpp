// The KB90xx wiring base: any file, any line of it, with every cable size and orientation.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "Kb901x_form/MbConnectionEne.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace jig::ene;
  const std::span<const std::uint8_t> bytes(data, size);
  const auto lines = SplitBaseLines(bytes);
  const auto shown = BaseList(bytes);
  if (shown.size() != lines.size()) std::abort();
  const auto sizes = FfcSizes();
  for (std::size_t i = 0; i < lines.size() && i < 8; ++i) {
    const char* ffc = sizes[(i + size) % sizes.size()];
    for (bool straight : {true, false}) {
      const Wiring wiring = ComputeWiring(lines[i], ffc, straight);
      if (wiring.kind == Wiring::Kind::Label && wiring.text.size() > 4096) std::abort();
    }
  }
  // The whole input as one line, too: the base may hold a line of any bytes.
  const std::string whole(reinterpret_cast<const char*>(data), size);
  ComputeWiring(whole, sizes[size % sizes.size()], (size & 1) != 0);
  return 0;
}

#include "sim/SimImages.h"

#include "sim/SimCommandSets.h"

namespace jig::sim {

namespace {
// clang-format off
// The three-byte profiles compare exactly three bytes, so V41 and V42 say no more. The
// stand-in lengths differ so that the images end at different addresses; V41 fills the
// application flash.
constexpr SimImage kImages[] = {
    // tag    answer to 'B'                    command sets          stand-in file         length
    {"V41",  "V41",                            "EDID KB90 KEYBOARD", "Q27_ALLPCB_V41.hex", 6144},
    {"V42",  "V42",                            "MEC16",              "Q27_jtag.hex",       0x0A40},
    {"ITE",  "Q27 ITE_PROJ FW 2.3\r\n",        "ITE",                "ITE_PROJ_Q27.hex",   4096},
    {"NPCE", "Q27 NPCE288 FW 1.7\r\n",         "NPCE",               "Q27_NPCE288.hex",    3584},
    {"BOOT", "",                               "BOOT",               "",                   0},
};

constexpr SimSetRow kSets[] = {
    {"BOOT",     MakeBootLoaderSim, BootLoaderSimFaults},
    {"EDID",     MakeEdidSim,       EdidSimFaults},
    {"KB90",     MakeKb90Sim,       Kb90SimFaults},
    {"KEYBOARD", MakeKeyboardSim,   KeyboardSimFaults},
    {"MEC16",    MakeMec16Sim,      Mec16SimFaults},
    {"ITE",      MakeIteSim,        IteSimFaults},
    {"NPCE",     MakeNpceSim,       NpceSimFaults},
};
// clang-format on
}  // namespace

std::span<const SimImage> SimImages() { return kImages; }
std::span<const SimSetRow> SimSets() { return kSets; }

const SimImage* FindSimImage(std::string_view tag) {
  for (const SimImage& image : kImages)
    if (image.tag == tag) return &image;
  return nullptr;
}

std::string SimImageTags() {
  std::string text;
  const std::size_t count = std::size(kImages);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += i + 1 == count ? " or " : ", ";
    text += kImages[i].tag;
  }
  return text;
}

bool RunsSet(const SimImage& image, std::string_view set) {
  std::string_view list = image.sets;
  while (!list.empty()) {
    const std::size_t space = list.find(' ');
    if (list.substr(0, space) == set) return true;
    if (space == std::string_view::npos) break;
    list.remove_prefix(space + 1);
  }
  return false;
}

std::vector<FaultName> CommandSetFaultNames() {
  std::vector<FaultName> all;
  for (const SimSetRow& set : kSets) {
    const auto faults = set.faults();
    all.insert(all.end(), faults.begin(), faults.end());
  }
  return all;
}

}  // namespace jig::sim

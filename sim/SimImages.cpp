#include "sim/SimImages.h"

#include <algorithm>

#include "view/WordList.h"

namespace jig::sim {

namespace {
// clang-format off
// The programmer's own firmware images. The three-byte profiles compare exactly three
// bytes, so V41 and V42 say no more. The stand-in lengths differ so that the images end at
// different addresses; V41 fills the application flash. The boot loader stays last.
constexpr SimImage kProgrammerImages[] = {
    // tag    answer to 'B'                    stand-in file         length
    {"V41",  "V41",                            "Q27_ALLPCB_V41.hex", 6144},
    {"V42",  "V42",                            "Q27_jtag.hex",       0x0A40},
    {"ITE",  "Q27 ITE_PROJ FW 2.3\r\n",        "ITE_PROJ_Q27.hex",   4096},
    {"NPCE", "Q27 NPCE288 FW 1.7\r\n",         "Q27_NPCE288.hex",    3584},
    {"BOOT", "",                               "",                   0},
};
// clang-format on

struct Tables {
  std::vector<SimImage> images{std::begin(kProgrammerImages), std::end(kProgrammerImages)};
  std::vector<SimSetRow> sets;
};

// Filled while the program starts (static registrations), read afterwards only.
Tables& tables() {
  static Tables all;
  return all;
}

}  // namespace

SimRegistration::SimRegistration(const SimSetRow& set, std::span<const SimImage> ownImages) {
  Tables& all = tables();
  // Sets in the order of their names, whatever order the files start in; a new image goes
  // before the boot loader, ordered by tag after the programmer's own.
  all.sets.insert(std::upper_bound(all.sets.begin(), all.sets.end(), set,
                                   [](const SimSetRow& a, const SimSetRow& b) { return a.name < b.name; }),
                  set);
  const auto own = std::end(kProgrammerImages) - std::begin(kProgrammerImages) - 1;
  for (const SimImage& image : ownImages) {
    auto at = std::upper_bound(all.images.begin() + own, all.images.end() - 1, image,
                               [](const SimImage& a, const SimImage& b) { return a.tag < b.tag; });
    all.images.insert(at, image);
  }
}

std::span<const SimImage> SimImages() { return tables().images; }
std::span<const SimSetRow> SimSets() { return tables().sets; }

const SimImage* FindSimImage(std::string_view tag) {
  for (const SimImage& image : SimImages())
    if (image.tag == tag) return &image;
  return nullptr;
}

std::string SimImageTags() {
  std::string text;
  const auto images = SimImages();
  for (std::size_t i = 0; i < images.size(); ++i) {
    if (i > 0) text += i + 1 == images.size() ? " or " : ", ";
    text += images[i].tag;
  }
  return text;
}

bool RunsSet(const SimImage& image, std::string_view set) {
  for (const SimSetRow& row : SimSets())
    if (row.name == set) return ListsWord(row.images, image.tag);
  return false;
}

std::vector<const SimSetRow*> SetsOf(const SimImage& image) {
  std::vector<const SimSetRow*> sets;
  for (const SimSetRow& row : SimSets())
    if (ListsWord(row.images, image.tag)) sets.push_back(&row);
  return sets;
}

std::vector<FaultName> CommandSetFaultNames() {
  std::vector<FaultName> all;
  for (const SimSetRow& set : SimSets()) {
    const auto faults = set.faults();
    all.insert(all.end(), faults.begin(), faults.end());
  }
  return all;
}

}  // namespace jig::sim

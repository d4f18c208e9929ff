#pragma once
// What the simulated programmer can run: one row per firmware image (and the boot loader),
// with its answer to 'B', the command sets it carries and its stand-in file; and one row
// per command set, with its factory and the faults it understands.
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimCommandSet.h"

namespace jig::sim {

struct SimImage {
  std::string_view tag;          // "V41", ...; "BOOT" is the boot loader
  std::string_view versionText;  // its answer to 'B' unless a fault says otherwise
  std::string_view sets;         // the command sets it runs, by name, separated by spaces
  std::string_view file;         // the stand-in image file beside the program ("" for BOOT)
  std::size_t standInLength;     // bytes of the stand-in image
};

struct SimSetRow {
  std::string_view name;  // "EDID", ...: the name tests look a chip up by
  std::unique_ptr<SimCommandSet> (*make)(const SimOptions& options);
  std::vector<FaultName> (*faults)();
};

inline constexpr std::string_view kBootImage = "BOOT";
// What a programmer runs when nothing says otherwise.
inline constexpr std::string_view kDefaultImage = "V41";

std::span<const SimImage> SimImages();
std::span<const SimSetRow> SimSets();
// The image of that tag; null for any other.
const SimImage* FindSimImage(std::string_view tag);
// The tags for a help text: "V41, V42, ITE, NPCE or BOOT".
std::string SimImageTags();
// Whether the image runs the command set of that name.
bool RunsSet(const SimImage& image, std::string_view set);

}  // namespace jig::sim

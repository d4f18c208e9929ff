#pragma once
// What the simulated programmer can run: the firmware images (and the boot loader), each
// with its answer to 'B' and its stand-in file, and the command sets, each with the images
// that carry it, its factory and the faults it understands.
//
// Each command set registers itself from its own file (SimRegistration), so a new chip
// family's simulator is one file; a family that brings a firmware image of its own
// registers that image with its set.
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
  std::string_view file;         // the stand-in image file beside the program ("" for BOOT)
  std::size_t standInLength;     // bytes of the stand-in image
};

struct SimSetRow {
  std::string_view name;    // "EDID", ...: the name tests look a chip up by
  std::string_view images;  // the tags of the images that carry it, separated by spaces
  std::unique_ptr<SimCommandSet> (*make)(const SimOptions& options);
  std::vector<FaultName> (*faults)();
};

// Made at start-up, one per command set file: adds the set (and any image of its own) to
// the tables. The rows must outlive the program (constants at namespace scope).
struct SimRegistration {
  explicit SimRegistration(const SimSetRow& set, std::span<const SimImage> ownImages = {});
};

inline constexpr std::string_view kBootImage = "BOOT";
// What a programmer runs when nothing says otherwise.
inline constexpr std::string_view kDefaultImage = "V41";

// The programmer's images, then those the command sets brought, by tag.
std::span<const SimImage> SimImages();
// Every command set, by name.
std::span<const SimSetRow> SimSets();
// The image of that tag; null for any other.
const SimImage* FindSimImage(std::string_view tag);
// The tags for a help text: "V41, V42, ITE, NPCE or BOOT".
std::string SimImageTags();
// Whether the image runs the command set of that name.
bool RunsSet(const SimImage& image, std::string_view set);
// The sets an image runs, by name: when two take the same byte, the first answers.
std::vector<const SimSetRow*> SetsOf(const SimImage& image);
// Every fault the command sets understand.
std::vector<FaultName> CommandSetFaultNames();

}  // namespace jig::sim

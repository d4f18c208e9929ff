// A chip family's simulator is one file: its command set registers itself, with a firmware
// image of its own when the family brings one, and the programmer, the option parser and
// the stand-in images take it from the tables. The stub below stands for such a file.
#include <gtest/gtest.h>

#include <string>

#include "link/ProgrammerLink.h"
#include "sim/SimD2xx.h"
#include "sim/SimImages.h"
#include "sim/StandInImage.h"
#include "tests/support/SimLink.h"

namespace jig::sim {
namespace {

// Answers 's' with "ok"; takes no other byte.
class StubSim : public SimCommandSet {
 public:
  bool onByte(std::uint8_t byte, SimContext& context) override {
    if (byte != 's') return false;
    context.send(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("ok"), 2));
    return true;
  }
  bool busy() const override { return false; }
};

std::unique_ptr<SimCommandSet> MakeStubSim(const SimOptions&) { return std::make_unique<StubSim>(); }
std::vector<FaultName> StubSimFaults() { return {{"stub-silent", "the stub answers nothing"}}; }

constexpr SimImage kStubImages[] = {{"STB1", "Q27 STUB FW 0.1\r\n", "Q27_STUB.hex", 1024}};
const SimRegistration kRegistered({"STUB", "STB1", MakeStubSim, StubSimFaults}, kStubImages);

std::string Ask(ProgrammerLink& link, std::uint8_t command) {
  link.writeByte(command);
  link.read(32);
  return std::string(link.buffer.begin(), link.buffer.begin() + link.transferred);
}

TEST(SimRegistration, AFamilysOwnImageComesAfterTheProgrammersAndBeforeTheBootLoader) {
  EXPECT_EQ(SimImageTags(), "V41, V42, ITE, NPCE, STB1 or BOOT");
  ASSERT_NE(FindSimImage("STB1"), nullptr);
  EXPECT_TRUE(RunsSet(*FindSimImage("STB1"), "STUB"));
  EXPECT_FALSE(RunsSet(*FindSimImage("V41"), "STUB"));
  // The sets in the order of their names, whatever order their files started in.
  std::vector<std::string> names;
  for (const SimSetRow& set : SimSets()) names.emplace_back(set.name);
  EXPECT_EQ(names, (std::vector<std::string>{"BOOT", "EDID", "ITE", "KB90", "KEYBOARD", "MEC16", "NPCE", "STUB"}));
}

TEST(SimRegistration, TheProgrammerRunsARegisteredSetOnItsImageOnly) {
  for (const char* image : {"STB1", "V41"}) {
    SCOPED_TRACE(image);
    SimOptions options;
    options.image = image;
    SimD2xx d2xx;
    auto& programmer = d2xx.attach(options);
    auto link = test::OpenSimLink(d2xx);
    const bool stub = std::string(image) == "STB1";
    EXPECT_EQ(Ask(link, 'B'), stub ? "Q27 STUB FW 0.1\r\n" : "V41");
    EXPECT_EQ(Ask(link, 's'), stub ? "ok" : "");
    EXPECT_NE(programmer.commandSet("STUB"), nullptr) << "every set lives as long as the programmer";
    link.close();
  }
}

TEST(SimRegistration, ItsFaultsAndStandInImageAreKnown) {
  SimOptions options;
  std::string error;
  EXPECT_TRUE(AddFault(options, "stub-silent", error)) << error;
  EXPECT_FALSE(AddFault(options, "stub-loud", error));
  EXPECT_EQ(StandInImageFile("STB1"), "Q27_STUB.hex");
  const auto flash = StandInImage("STB1");
  EXPECT_EQ(flash.size(), 1024u);
  EXPECT_EQ(ImageTagOf(flash), "STB1");
}

}  // namespace
}  // namespace jig::sim

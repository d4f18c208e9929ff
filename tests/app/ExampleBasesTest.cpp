// The example motherboard bases that ship beside the program: every line is marked as an
// example and works in the wiring aids as it is.
#include <gtest/gtest.h>

#include <filesystem>

#include "Ite/MbConnectionIte.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "view/Cp1251.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

const std::filesystem::path kData = std::filesystem::path(JIG_SOURCE_DIR) / "packaging" / "data";

TEST(ExampleBases, EneLinesGiveAWiringForEveryCableTheyFit) {
  const auto base = ene::LoadBase({kData});
  ASSERT_TRUE(base.has_value());
  const auto lines = ene::BaseList(*base);
  ASSERT_GE(lines.size(), 3u);
  for (const auto& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_NE(line.find("example only"), std::string::npos) << "each example says so";
    for (bool straight : {true, false}) {
      const ene::Wiring wiring = ene::ComputeWiring(line, "32 pin", straight);
      EXPECT_EQ(wiring.kind, ene::Wiring::Kind::Label);
      EXPECT_EQ(wiring.text.rfind(ene::kConnectPrefix, 0), 0u) << wiring.text;
    }
  }
}

TEST(ExampleBases, IteLinesParseAndMirror) {
  const ite::IteBase base = ite::LoadIteBase((kData / ite::kBaseFileName).string());
  ASSERT_TRUE(base.found);
  ASSERT_GE(base.lines.size(), 3u);
  for (const auto& raw : base.lines) {
    const std::string line = DisplayText(raw);
    SCOPED_TRACE(line);
    EXPECT_NE(line.find("example only"), std::string::npos) << "each example says so";
    const ite::ParseResult parsed = ite::ParseMbLine(raw, {});
    ASSERT_EQ(parsed.kind, ite::ParseResult::Ok);
    EXPECT_EQ(parsed.taken, ite::kSignalCount);
    const ite::MirrorResult mirrored = ite::MirrorPins(raw, parsed.pins);
    EXPECT_EQ(mirrored.kind, ite::MirrorResult::Ok);
  }
}

}  // namespace
}  // namespace jig

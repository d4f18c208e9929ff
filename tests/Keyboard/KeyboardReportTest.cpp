#include <gtest/gtest.h>

#include <set>

#include "Keyboard/KeyboardReport.h"
#include "sim/KeyboardSim.h"
#include "tests/support/TestFiles.h"

namespace jig {

using namespace keyboard;
namespace {

using Raw = std::vector<std::uint8_t>;  // a report's bytes as the programmer sends them

TEST(KeyboardReport, IndicatorsFormTheUpperTriangle) {
  const auto pairs = AllPairs();
  ASSERT_EQ(pairs.size(), 496u);
  std::set<std::string> names;
  for (const auto& pair : pairs) names.insert(IndicatorName(pair));
  EXPECT_EQ(names.size(), 496u);
  EXPECT_EQ(IndicatorName({1, 2}), "Shape2");
  EXPECT_EQ(IndicatorName({1, 32}), "Shape32");
  EXPECT_EQ(IndicatorName({2, 3}), "Shape35");
  EXPECT_EQ(IndicatorName({31, 32}), "Shape992");
  EXPECT_FALSE(HasIndicator({5, 3}));
  EXPECT_FALSE(HasIndicator({4, 4}));
  EXPECT_FALSE(HasIndicator({0, 5}));
  EXPECT_FALSE(HasIndicator({31, 33}));
}

TEST(KeyboardReport, DecodesGroupsAndSkipsPairsWithoutIndicator) {
  EXPECT_EQ(DecodeReport(Raw({'>', 1, 2, 3, '&'})), (std::vector<LinePair>{{1, 2}, {1, 3}}));
  EXPECT_TRUE(DecodeReport(Raw({'&'})).empty());
  EXPECT_TRUE(DecodeReport(Raw({'>', 5, 3, '&'})).empty());
  EXPECT_EQ(DecodeReport(Raw({'>', 5, 3, 9, '>', 20, 31, 40, 32, '&'})),
            (std::vector<LinePair>{{5, 9}, {20, 31}, {20, 32}}));
  // Nothing after the first "&" belongs to the report.
  EXPECT_EQ(DecodeReport(Raw({'>', 7, 8, '&', '>', 1, 2})), (std::vector<LinePair>{{7, 8}}));
  // A group without its ">" still pairs with the row that came first.
  EXPECT_EQ(DecodeReport(Raw({3, 4, '&'})), (std::vector<LinePair>{{3, 4}}));
}

TEST(KeyboardSimReport, BuildsOneGroupPerRowAndParsesScripts) {
  EXPECT_EQ(sim::MatrixReport({}), Raw({'&'}));
  EXPECT_EQ(sim::MatrixReport({{3, 12}, {1, 2}, {3, 9}}), Raw({'>', 1, 2, '>', 3, 12, 9, '&'}));
  const auto script = sim::ParseMatrixScript("400:;0:1-2,3-9");
  ASSERT_TRUE(script.has_value());
  ASSERT_EQ(script->size(), 2u);
  EXPECT_EQ((*script)[0].atMs, 0);
  EXPECT_EQ((*script)[0].closed, (std::vector<sim::MatrixPair>{{1, 2}, {3, 9}}));
  EXPECT_TRUE((*script)[1].closed.empty());
  EXPECT_FALSE(sim::ParseMatrixScript("12").has_value());
  EXPECT_FALSE(sim::ParseMatrixScript("0:1+2").has_value());
}

}  // namespace
}  // namespace jig

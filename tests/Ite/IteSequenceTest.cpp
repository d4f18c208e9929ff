// Operations one after another on the same programmer, as a technician runs them.
#include <gtest/gtest.h>

#include "tests/Ite/IteTestSupport.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

TEST(IteSequence, PinsCanBeSentAgainAfterARead) {
  test::IteBench bench;
  ASSERT_TRUE(bench.apply());
  bench.clickRead("dump.bin");
  ASSERT_TRUE(bench.waitEnded(20));
  ASSERT_EQ(bench.view.endings().back(), true);
  EXPECT_TRUE(bench.apply()) << bench.view.lastLine();
  // And a read after that still reads the flash.
  bench.clickRead("again.bin");
  ASSERT_TRUE(bench.waitEnded(20));
  EXPECT_EQ(bench.view.endings().back(), true);
  EXPECT_EQ(test::ReadFileBytes(bench.dir.file("again.bin")), bench.chip().flash());
}

}  // namespace
}  // namespace jig

// Operations one after another on the same programmer, as a technician runs them.
#include <gtest/gtest.h>

#include "tests/Ite/IteTestSupport.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

TEST(IteSequence, PinsCanBeSentAgainAfterARead) {
  test::IteBench bench;
  ASSERT_TRUE(bench.apply());
  test::TempDir dir;
  bench.view.answerDialog(dir.file("dump.bin"));
  bench.ops.ITE_READ_BitBtnClick();
  ASSERT_TRUE(bench.waitEnded(20));
  ASSERT_EQ(bench.view.endings().back(), true);
  EXPECT_TRUE(bench.apply()) << bench.view.lastLine();
  // And a read after that still reads the flash.
  bench.view.answerDialog(dir.file("again.bin"));
  bench.ops.ITE_READ_BitBtnClick();
  ASSERT_TRUE(bench.waitEnded(20));
  EXPECT_EQ(bench.view.endings().back(), true);
  EXPECT_EQ(test::ReadFileBytes(dir.file("again.bin")), bench.chip().flash());
}

}  // namespace
}  // namespace jig

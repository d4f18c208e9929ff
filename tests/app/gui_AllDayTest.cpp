// A window used all day: many KB90xx reads in one window of the program as --simulate makes
// it. What the simulator holds, the log's undo history and the process's resident memory
// stay where they were after the first reads.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <filesystem>

#include "app/Backend.h"
#include "app/Options.h"
#include "tests/support/Environment.h"
#include "tests/support/FileSafety.h"
#include "tests/support/GuiWait.h"
#include "tests/support/TaskWindows.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowScript.h"

namespace jig {
namespace {

const std::filesystem::path kExampleData = std::filesystem::path(JIG_SOURCE_DIR) / "packaging" / "data";
constexpr bool kSanitized = JIG_SANITIZED;
// The reads before resident memory is first taken, once the window's caches have settled.
// A sanitizer build compares no memory (its allocator holds freed memory back) and is
// several times slower on the CPU a read costs: it does a tenth of them, so that the test's
// bound holds on a machine four times slower and busy.
constexpr int kFirstReads = kSanitized ? 5 : 50;
constexpr int kAllReads = 500;
// The later reads get this much time at most; a sanitizer build, several times slower,
// does fewer of them.
constexpr qint64 kLaterReadsBudgetMs = 30000;
// What the process may grow by from the 50th read to the last: the log's new lines and the
// allocator's own slack, no byte of any read.
constexpr std::size_t kGrowthAllowed = 4u << 20;
// However short the budget, this many later reads: one 128 KiB dump kept by each would
// outgrow the allowance, so the comparison can fail. A sanitizer build compares nothing.
constexpr int kLaterReadsAtLeast = kSanitized ? 0 : 40;
static_assert(kLaterReadsAtLeast * (128u << 10) > kGrowthAllowed || kSanitized);

TEST(AllDay, FiveHundredKb90ReadsInOneWindowHoldNothingThatGrows) {
  const Options options = ParseOptions({"--simulate", "--sim-image", "V41"});
  ASSERT_TRUE(options.error.empty()) << options.error;
  // A journal of its own: the reads' rows do not pile up run after run in a shared one.
  test::ScratchBackupFolder data;
  Backend backend = MakeBackend(options);
  ASSERT_NE(backend.sim, nullptr);
  // Qt's pixmap cache fills with the coloured lists' pictures up to its 10 MB limit: bounded,
  // and Qt's own; off here, so that its filling hides no growth of ours.
  QPixmapCache::setCacheLimit(0);
  TKB901X_forms window(*backend.d2xx, {kExampleData});
  test::WindowScript script;
  script.hook(window);
  window.show();
  test::TempDir dir;
  auto* memo = window.KB901X_Memo;

  int done = 0;
  auto read = [&](int count) {
    for (int i = 0; i < count; ++i, ++done) {
      script.answer = dir.file("dump" + std::to_string(done % 4) + ".bin");  // files replaced, few on disk
      QTest::mouseClick(window.KB901X_READ, Qt::LeftButton);
      if (!test::RunEventsUntil([&] { return script.endings.size() > static_cast<std::size_t>(done); }, 30000)) return false;
      if (!script.endings.back()) return false;
    }
    return true;
  };

  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(read(kFirstReads)) << memo->toPlainText().toStdString();
  const qint64 perReadMs = std::max<qint64>(1, clock.elapsed() / kFirstReads);
  const auto residentAtFirst = test::ResidentBytes();
  const int later = static_cast<int>(
      std::clamp<qint64>(kLaterReadsBudgetMs / perReadMs, kLaterReadsAtLeast, kAllReads - kFirstReads));
  ASSERT_TRUE(read(later)) << memo->toPlainText().toStdString();
  const auto residentAtEnd = test::ResidentBytes();
  QPixmapCache::setCacheLimit(10240);  // Qt's default again for the tests after this one
  std::cout << "reads: " << done << " (" << perReadMs << " ms each)";
  if (residentAtFirst && residentAtEnd)
    std::cout << "; resident after " << kFirstReads << ": " << (*residentAtFirst >> 10) << " KiB, after " << done
              << ": " << (*residentAtEnd >> 10) << " KiB";
  std::cout << '\n';

  // The program's simulator keeps no transcript of what it exchanged.
  EXPECT_EQ(backend.sim->programmer(0).transcriptBytes(), 0u);
  EXPECT_TRUE(backend.sim->programmer(0).transcript().empty());
  // The log keeps its lines, not a history of them.
  EXPECT_FALSE(memo->isUndoRedoEnabled());
  EXPECT_EQ(memo->document()->availableUndoSteps(), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.file("dump0.bin")).size(), 131072u);

  if (kSanitized) GTEST_SKIP() << "resident memory not compared: the sanitizer's allocator holds freed memory back";
  if (!residentAtFirst || !residentAtEnd) GTEST_SKIP() << "this system does not tell a process's resident memory";
  EXPECT_LT(*residentAtEnd, *residentAtFirst + kGrowthAllowed)
      << "grew by " << ((*residentAtEnd - *residentAtFirst) >> 10) << " KiB over " << done - kFirstReads << " reads";
}

}  // namespace
}  // namespace jig

// The compare window: two dumps in hex side by side, the differing bytes marked, the
// summary, and the buttons that step from one differing range to the next.
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "gui/TCompareModel.h"
#include "gui/TCompareWindow.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

using Image = std::vector<std::uint8_t>;

// 256 bytes that differ at 0x10..0x13 and at 0x80 (and, with `cut`, lack their last bytes).
ComparedDump TwoRangesApart(std::size_t cut = 0) {
  Image image = test::Pattern(256, 3);
  for (const std::size_t at : {0x10, 0x11, 0x12, 0x13, 0x80}) image[at] ^= 0xFF;
  image.resize(image.size() - cut);
  return {"read-back", image};
}

// A window opened as a caller opens it, closed (and so deleted) when the test ends.
struct OpenWindow {
  explicit OpenWindow(TCompareWindow* opened) : window(opened) {}
  OpenWindow(ComparedDump a, ComparedDump b) : OpenWindow(OpenCompareWindow(nullptr, std::move(a), std::move(b))) {}
  ~OpenWindow() {
    if (window) window->close();
    QApplication::processEvents();
  }
  template <class Widget>
  Widget& find(const char* name) const {
    auto* widget = window->findChild<Widget*>(name);
    if (!widget) ADD_FAILURE() << "no control " << name;
    return *widget;
  }
  QString summary() const { return find<QLabel>("CompareSummary").text(); }
  QPushButton& next() const { return find<QPushButton>("NextDifference"); }
  QPushButton& previous() const { return find<QPushButton>("PreviousDifference"); }
  QTableView& table() const { return find<QTableView>("CompareTable"); }
  int currentRow() const { return table().currentIndex().row(); }
  // The selected cells as (row, column), each side's columns counted from 0 (B's from 16).
  std::set<std::pair<int, int>> selected() const {
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex& index : table().selectionModel()->selectedIndexes()) {
      const int column = index.column() < TCompareModel::kGapColumn
                             ? index.column() - TCompareModel::kFirstColumnA
                             : index.column() - TCompareModel::kFirstColumnB + 16;
      cells.insert({index.row(), column});
    }
    return cells;
  }
  QPointer<TCompareWindow> window;
};

TEST(CompareWindow, OpensAtTheFirstRangeAndStepsToTheNextAndBack) {
  OpenWindow open({"image.bin", test::Pattern(256, 3)}, TwoRangesApart());
  ASSERT_TRUE(open.window);
  EXPECT_TRUE(open.window->isVisible());
  EXPECT_FALSE(open.window->isModal());
  EXPECT_EQ(open.summary(), "2 ranges differ, 5 bytes in all, the first at 0x00000010.");
  EXPECT_EQ(open.find<QLabel>("CompareSideA").text(), "A: image.bin (256 bytes)");
  EXPECT_EQ(open.find<QLabel>("CompareSideB").text(), "B: read-back (256 bytes)");

  const std::set<std::pair<int, int>> firstRange{{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 16}, {1, 17}, {1, 18}, {1, 19}};
  EXPECT_EQ(open.currentRow(), 1);
  EXPECT_EQ(open.selected(), firstRange);
  EXPECT_EQ(open.find<QLabel>("ComparePosition").text(), "Difference 1 of 2: 0x00000010-0x00000013  4 bytes");
  EXPECT_FALSE(open.previous().isEnabled());
  EXPECT_TRUE(open.next().isEnabled());

  QTest::mouseClick(&open.next(), Qt::LeftButton);
  EXPECT_EQ(open.currentRow(), 8);
  EXPECT_EQ(open.selected(), (std::set<std::pair<int, int>>{{8, 0}, {8, 16}}));
  EXPECT_EQ(open.window->currentRange(), 1u);
  EXPECT_FALSE(open.next().isEnabled());
  EXPECT_TRUE(open.previous().isEnabled());

  QTest::mouseClick(&open.previous(), Qt::LeftButton);
  EXPECT_EQ(open.currentRow(), 1);
  EXPECT_EQ(open.selected(), firstRange);
  EXPECT_FALSE(open.previous().isEnabled());
}

TEST(CompareWindow, IdenticalDumpsSaySoAndLeaveNothingToStepTo) {
  OpenWindow open({"a.bin", test::Pattern(256, 3)}, {"b.bin", test::Pattern(256, 3)});
  EXPECT_EQ(open.summary(), "The two dumps are identical, 256 bytes each.");
  EXPECT_FALSE(open.next().isEnabled());
  EXPECT_FALSE(open.previous().isEnabled());
  EXPECT_EQ(open.window->currentRange(), std::nullopt);
  EXPECT_TRUE(open.selected().empty());
  EXPECT_EQ(open.find<QLabel>("ComparePosition").text(), "");
}

// The marks come from the comparison: a differing byte on both sides, and a byte the
// shorter dump lacks, in red; an equal byte plain.
TEST(CompareWindow, MarksEveryDifferingByteAndOnlyThose) {
  OpenWindow open({"a.bin", test::Pattern(256, 3)}, TwoRangesApart(8));
  const QAbstractItemModel& model = *open.table().model();
  EXPECT_EQ(model.rowCount(), 16);
  EXPECT_EQ(model.columnCount(), TCompareModel::kColumns);
  const auto cell = [&model](int row, int column, int role = Qt::DisplayRole) {
    return model.data(model.index(row, column), role);
  };
  const auto marked = [&cell](int row, int column) { return cell(row, column, Qt::BackgroundRole).isValid(); };
  EXPECT_EQ(cell(1, TCompareModel::kAddressColumn).toString(), "0x00000010");
  EXPECT_EQ(cell(1, TCompareModel::kFirstColumnA).toString(), "53");  // 0x10 * 37 + 3
  EXPECT_EQ(cell(1, TCompareModel::kFirstColumnB).toString(), "AC");  // and inverted
  for (int offset = 0; offset < 16; ++offset) {
    EXPECT_EQ(marked(1, TCompareModel::kFirstColumnA + offset), offset < 4) << offset;
    EXPECT_EQ(marked(1, TCompareModel::kFirstColumnB + offset), offset < 4) << offset;
    EXPECT_EQ(marked(15, TCompareModel::kFirstColumnB + offset), offset >= 8) << offset;
  }
  EXPECT_EQ(cell(15, TCompareModel::kFirstColumnB + 8).toString(), "--");
  EXPECT_EQ(cell(15, TCompareModel::kFirstColumnA + 8).toString(), "DB");  // 0xF8 * 37 + 3, its low byte
  EXPECT_FALSE(marked(2, TCompareModel::kFirstColumnA));
  EXPECT_EQ(open.summary(),
            "3 ranges differ, 13 bytes in all, the first at 0x00000010; the sizes differ: 256 and 248 bytes.");
}

TEST(CompareWindow, OpensFromTwoFilesOrSaysWhichCannotBeRead) {
  test::TempDir dir;
  test::WriteFileBytes(dir.file("a.bin"), test::Pattern(64, 3));
  test::WriteFileBytes(dir.file("b.bin"), test::Pattern(64, 3));
  const CompareFilesOpened missing = OpenCompareFiles(nullptr, dir.file("a.bin"), dir.file("gone.bin"));
  EXPECT_EQ(missing.window, nullptr);
  EXPECT_EQ(missing.problem, dir.file("gone.bin") + " cannot be opened (No such file or directory).");

  const OpenWindow open(OpenCompareFiles(nullptr, dir.file("a.bin"), dir.file("b.bin")).window);
  ASSERT_TRUE(open.window);
  EXPECT_EQ(open.summary(), "The two dumps are identical, 64 bytes each.");
}

}  // namespace
}  // namespace jig

#include "gui/TCompareWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "files/DumpCompareTexts.h"
#include "gui/TCompareModel.h"
#include "gui/TWidgets.h"

namespace jig {

namespace {

constexpr int kRowCount = static_cast<int>(kHexRowBytes);
// Fits a 1366x768 screen with its panel and the title bar.
constexpr int kWindowHeight = 620;

QString SideLabel(std::string_view side, const ComparedDump& dump) {
  return Q(std::string(side) + ": " + dump.label + " (" + std::to_string(dump.bytes.size()) + " bytes)");
}

// Fixed sizes from the font: the view never measures a million rows to size a column.
void SizeColumns(QTableView& table) {
  const QFontMetrics metrics(table.font());
  QHeaderView& columns = *table.horizontalHeader();
  columns.setMinimumSectionSize(1);
  columns.setSectionResizeMode(QHeaderView::Fixed);
  const int byteWidth = metrics.horizontalAdvance(QStringLiteral("WW")) + 10;
  for (int column = 0; column < TCompareModel::kColumns; ++column) table.setColumnWidth(column, byteWidth);
  table.setColumnWidth(TCompareModel::kAddressColumn, metrics.horizontalAdvance(QStringLiteral("0x00000000")) + 16);
  table.setColumnWidth(TCompareModel::kGapColumn, byteWidth / 2);
  QHeaderView& rows = *table.verticalHeader();
  rows.hide();
  rows.setSectionResizeMode(QHeaderView::Fixed);
  rows.setDefaultSectionSize(metrics.height() + 4);
}

int TableWidth(const QTableView& table) {
  int width = 2 * table.frameWidth() + table.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  for (int column = 0; column < TCompareModel::kColumns; ++column) width += table.columnWidth(column);
  return width;
}

}  // namespace

TCompareWindow::TCompareWindow(QWidget* parent, ComparedDump a, ComparedDump b)
    : QWidget(parent, Qt::Window),
      model_(new TCompareModel(std::move(a), std::move(b), this)),
      comparison_(CompareDumpRanges(model_->a().bytes, model_->b().bytes)),
      table_(Named(new QTableView(this), "CompareTable")),
      summary_(Named(new QLabel(Q(ComparisonSummary(comparison_)), this), "CompareSummary")),
      position_(Named(new QLabel(this), "ComparePosition")),
      previous_(Named(new QPushButton(Q("Previous difference"), this), "PreviousDifference")),
      next_(Named(new QPushButton(Q("Next difference"), this), "NextDifference")) {
  setObjectName("TCompareWindow");
  setWindowTitle(Q("Compare: " + model_->a().label + " / " + model_->b().label));

  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  table_->setModel(model_);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  SizeColumns(*table_);

  auto* sides = new QHBoxLayout;
  sides->addWidget(Named(new QLabel(SideLabel("A", model_->a()), this), "CompareSideA"));
  sides->addStretch();
  sides->addWidget(Named(new QLabel(SideLabel("B", model_->b()), this), "CompareSideB"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previous_);
  buttons->addWidget(next_);
  buttons->addWidget(position_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(sides);
  layout->addWidget(table_, 1);
  layout->addWidget(summary_);
  layout->addLayout(buttons);

  previous_->setShortcut(QKeySequence::FindPrevious);
  next_->setShortcut(QKeySequence::FindNext);
  connect(previous_, &QPushButton::clicked, this, &TCompareWindow::previousDifference);
  connect(next_, &QPushButton::clicked, this, &TCompareWindow::nextDifference);

  resize(TableWidth(*table_) + layout->contentsMargins().left() + layout->contentsMargins().right(), kWindowHeight);
  if (!comparison_.identical()) showRange(0);
  updateButtons();
}

void TCompareWindow::showRange(std::size_t index) {
  if (index >= comparison_.ranges.size()) return;
  current_ = index;
  const DumpRange& range = comparison_.ranges[index];
  selectBytes(range);
  position_->setText(Q(RangePositionLine(index, comparison_.ranges.size(), range)));
  updateButtons();
}

void TCompareWindow::nextDifference() {
  if (current_ && *current_ + 1 < comparison_.ranges.size()) showRange(*current_ + 1);
}

void TCompareWindow::previousDifference() {
  if (current_ && *current_ > 0) showRange(*current_ - 1);
}

// The range's bytes on both sides: its first row from its first byte, the rows between
// whole, its last row up to its last byte; at most three blocks a side, however long.
void TCompareWindow::selectBytes(const DumpRange& range) {
  const int firstRow = static_cast<int>(HexRowOf(range.start));
  const int lastRow = static_cast<int>(HexRowOf(range.last()));
  const int firstOffset = static_cast<int>(range.start % kHexRowBytes);
  const int lastOffset = static_cast<int>(range.last() % kHexRowBytes);
  QItemSelection selection;
  const auto block = [&](int top, int bottom, int from, int to) {
    if (top > bottom) return;
    for (const int side : {TCompareModel::kFirstColumnA, TCompareModel::kFirstColumnB})
      selection.select(model_->index(top, side + from), model_->index(bottom, side + to));
  };
  if (firstRow == lastRow) {
    block(firstRow, firstRow, firstOffset, lastOffset);
  } else {
    block(firstRow, firstRow, firstOffset, kRowCount - 1);
    block(firstRow + 1, lastRow - 1, 0, kRowCount - 1);
    block(lastRow, lastRow, 0, lastOffset);
  }
  const QModelIndex first = model_->index(firstRow, TCompareModel::kFirstColumnA + firstOffset);
  table_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  table_->scrollTo(first, QAbstractItemView::PositionAtCenter);
}

void TCompareWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (current_) table_->scrollTo(table_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TCompareWindow::updateButtons() {
  const std::size_t count = comparison_.ranges.size();
  previous_->setEnabled(current_ && *current_ > 0);
  next_->setEnabled(current_ && *current_ + 1 < count);
}

TCompareWindow* OpenCompareWindow(QWidget* parent, ComparedDump a, ComparedDump b) {
  auto* window = new TCompareWindow(parent, std::move(a), std::move(b));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return window;
}

CompareFilesOpened OpenCompareFiles(QWidget* parent, const std::string& pathA, const std::string& pathB) {
  ComparedDumpRead a = ReadComparedDump(pathA);
  ComparedDumpRead b = ReadComparedDump(pathB);
  std::string problem = a.problem;
  if (!b.ok()) problem += (problem.empty() ? "" : "\n") + b.problem;
  if (!problem.empty()) return {nullptr, problem};
  return {OpenCompareWindow(parent, std::move(a.dump), std::move(b.dump)), {}};
}

}  // namespace jig

#pragma once
// Two dumps side by side in hex, their differing bytes in red, with a summary of where
// they differ and buttons that step from one differing range to the next. It opens
// beside the other windows and keeps its own copy of both dumps.
#include <QWidget>

#include <cstddef>
#include <optional>
#include <string>

#include "files/ComparedDump.h"
#include "files/DumpCompare.h"

class QLabel;
class QPushButton;
class QTableView;

namespace jig {

class TCompareModel;

class TCompareWindow : public QWidget {
 public:
  TCompareWindow(QWidget* parent, ComparedDump a, ComparedDump b);

  const DumpComparison& comparison() const { return comparison_; }
  // The range shown and selected; none when the dumps are identical.
  std::optional<std::size_t> currentRange() const { return current_; }
  // Scrolls to the range and selects its bytes on both sides.
  void showRange(std::size_t index);
  void nextDifference();
  void previousDifference();

 protected:
  // Once the table has its height, the range shown is brought to its middle.
  void showEvent(QShowEvent* event) override;

 private:
  void selectBytes(const DumpRange& range);
  void updateButtons();

  TCompareModel* model_;
  DumpComparison comparison_;
  std::optional<std::size_t> current_;
  QTableView* table_;
  QLabel* summary_;
  QLabel* position_;
  QPushButton* previous_;
  QPushButton* next_;
};

// A window of its own (not modal, deleted when closed), shown at the first difference.
TCompareWindow* OpenCompareWindow(QWidget* parent, ComparedDump a, ComparedDump b);

// The same for two files; when one cannot be read no window opens and problem says why.
struct CompareFilesOpened {
  TCompareWindow* window = nullptr;
  std::string problem;
};
CompareFilesOpened OpenCompareFiles(QWidget* parent, const std::string& pathA, const std::string& pathB);

}  // namespace jig

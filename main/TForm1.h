#pragma once
// The main window: the task selector, Start and Exit, and the two timers of the switch.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <span>

#include "main/MainForm.h"
#include "gui/THistoryWindow.h"
#include "gui/TTaskWindow.h"

namespace jig {

class TForm1 : public TTaskWindow {
 public:
  // tasks: what the selector offers after "Please select ".
  TForm1(D2xx& d2xx, std::span<const Task> tasks);
  ~TForm1() override;
  // The update window exists only after every task window (creation order).
  void attachUpdateWindow(TaskView& updateWindow);

  void MAIN_CONNECTClick();
  void Timer_RUNTimer();
  void Timer_5SECTimer();
  void MAIN_SELECTORClick();
  MainForm* form() { return form_.get(); }
  // The History window, made when first asked for and shown by HistoryButton.
  THistoryWindow* historyWindow();
  // The History window's restore: the job's task picked and started as Start starts it, with
  // the job's backup chosen for its window's next write (which still waits for the write
  // button and its questions). What stands in the way; empty when the switch is under way.
  std::string startForRestore(const JournalEntry& job);

  QComboBox* MAIN_SELECTOR;
  QPushButton* MAIN_CONNECT;
  QPushButton* Exit;
  QTimer* Timer_5SEC;
  QTimer* Timer_RUN;
  // What Start has to tell without a dialog (empty until then).
  QLabel* Label_MAIN_STATUS;
  QPushButton* HistoryButton;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void layOut();
  void connectControls();
  D2xx& d2xx_;
  const std::span<const Task> tasks_;
  std::unique_ptr<MainForm> form_;
  std::unique_ptr<THistoryWindow> history_;
};

}  // namespace jig

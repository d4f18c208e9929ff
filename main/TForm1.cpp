#include "main/TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "main/Form1Controls.h"
#include "main/Form1Texts.h"
#include "gui/HistoryTexts.h"
#include "gui/TCompareWindow.h"
#include "gui/TWidgets.h"
#include "main/Tasks.h"

namespace jig {

using namespace form1::control;

TForm1::TForm1(D2xx& d2xx, std::span<const Task> tasks)
    : TTaskWindow("Form1", "Holbrenik_JIG  VER4.92  21/08/2016"), d2xx_(d2xx), tasks_(tasks) {
  setClassName("TForm1");
  // Minimise only: no system menu, no close box; Exit is the way out.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  build();
  layOut();
  connectControls();
}

void TForm1::build() {
  MAIN_SELECTOR = Named(new QComboBox(this), kSelector);
  MAIN_SELECTOR->addItem(Q(kPleaseSelect));
  for (const Task& task : tasks_) MAIN_SELECTOR->addItem(Q(task.itemText));
  MAIN_SELECTOR->setCurrentIndex(0);

  MAIN_CONNECT = Named(new QPushButton("Start", this), kStart);
  Exit = Named(new QPushButton("Exit", this), kExit);
  Label_MAIN_STATUS = Named(new QLabel(this), kStatus);
  // The window's size is fixed: the line keeps its room while it is empty.
  Label_MAIN_STATUS->setMinimumHeight(Label_MAIN_STATUS->fontMetrics().height());
  HistoryButton = Named(new QPushButton("History", this), kHistory);

  Timer_5SEC = Named(new QTimer(this), kTimer5Sec);
  Timer_5SEC->setInterval(5000);
  Timer_5SEC->setSingleShot(true);
  Timer_RUN = Named(new QTimer(this), kTimerRun);
  Timer_RUN->setInterval(300);
  Timer_RUN->setSingleShot(true);
}

void TForm1::layOut() {
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(MAIN_CONNECT);
  buttons->addWidget(Exit);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MAIN_SELECTOR);
  layout->addLayout(buttons);
  layout->addWidget(Label_MAIN_STATUS);
  // Below the documented controls, which keep their places.
  layout->addWidget(HistoryButton, 0, Qt::AlignRight);
  resize(420, 110);
  setFixedSize(sizeHint().expandedTo(QSize(420, 110)));
}

void TForm1::connectControls() {
  connect(MAIN_CONNECT, &QPushButton::clicked, this, [this] { MAIN_CONNECTClick(); });
  connect(Exit, &QPushButton::clicked, this, [this] { close(); });
  connect(HistoryButton, &QPushButton::clicked, this, [this] {
    THistoryWindow* history = historyWindow();
    history->refresh();
    history->show();
    history->raise();
  });
  connect(MAIN_SELECTOR, &QComboBox::activated, this, [this] { MAIN_SELECTORClick(); });
  connect(Timer_RUN, &QTimer::timeout, this, [this] { Timer_RUNTimer(); });
  connect(Timer_5SEC, &QTimer::timeout, this, [this] { Timer_5SECTimer(); });
}

TForm1::~TForm1() = default;

void TForm1::attachUpdateWindow(TaskView& updateWindow) {
  form_ = std::make_unique<MainForm>(d2xx_, *this, updateWindow, tasks_);
}

void TForm1::MAIN_CONNECTClick() {
  // What the status line said of an earlier Start no longer holds.
  Label_MAIN_STATUS->clear();
  if (form_) form_->startSwitch(MAIN_SELECTOR->currentText().toStdString());
}

THistoryWindow* TForm1::historyWindow() {
  if (!history_) {
    history_ = std::make_unique<THistoryWindow>();
    history_->restore = [this](const JournalEntry& job) { return startForRestore(job); };
    history_->compareRequested = [history = history_.get()](const std::string& file, const std::string& backup) {
      const CompareFilesOpened opened = OpenCompareFiles(history, file, backup);
      if (!opened.window) history->Status->setText(QString::fromUtf8(history::text::kCannotCompare) +
                                                   QString::fromStdString(opened.problem));
    };
  }
  return history_.get();
}

std::string TForm1::startForRestore(const JournalEntry& job) {
  TTaskWindow* window = TTaskWindow::FindByJournalTask(job.record.task);
  const Task* task = nullptr;
  for (const Task& each : tasks_)
    if (window && Q(each.window) == window->className()) task = &each;
  if (!task) return form1::text::kRestoreNoWindow + job.record.task;
  // Start switches the programmer's firmware: never under a window that may be using it.
  if (!isVisible()) return form1::text::kRestoreTaskOpen;
  if (form_ && form_->switching()) return form1::text::kRestoreSwitching;
  MAIN_SELECTOR->setCurrentText(Q(task->itemText));
  window->chooseForNextWrite(job.record.backupPath);
  MAIN_CONNECTClick();
  return {};
}

void TForm1::Timer_RUNTimer() {
  if (!form_) return;
  const std::string window = form_->Timer_RUNTimer();
  if (window.empty()) return;
  if (TTaskWindow* task = Find(QString::fromStdString(window))) {
    task->show();
    task->raise();
    hide();
  }
}

void TForm1::Timer_5SECTimer() {
  if (form_) form_->Timer_5SECTimer();
}

void TForm1::MAIN_SELECTORClick() {
  if (TTaskWindow* update = Find("UPDATE_FORM")) update->clearLog();
  // A choice made answers what the status line asked for.
  Label_MAIN_STATUS->clear();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program; a running switch is waited for first,
  // so the programmer is left closed.
  if (form_) form_->waitForSwitch();
  event->accept();
  QApplication::quit();
}

}  // namespace jig

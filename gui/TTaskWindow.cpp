#include "gui/TTaskWindow.h"

#include "gui/TCompareWindow.h"
#include "gui/TGauge.h"
#include "gui/TQtTexts.h"
#include "gui/TWidgets.h"
#include "gui/TWindowTexts.h"
#include "gui/TWorkerCalls.h"
#include "job/FlashJob.h"
#include "journal/JobLabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QValidator>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "files/DumpSink.h"

namespace jig {

namespace {
// The elapsed time on a gauge moves on once a second, between the transfer's own reports.
constexpr int kClockTickMs = 1000;
constexpr char kJobLabel[] = "JobLabel";
constexpr char kCompareOffered[] = "CompareOffered";

// The label field takes what the journal takes: an edit that would bring in a control
// character (typed or pasted) is refused whole. Its length is kept by the field's own limit
// (UTF-16 units, never fewer than the characters the journal counts).
class JobLabelValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    return JobLabelProblem(input.toStdString()).empty() ? Acceptable : Invalid;
  }
};

std::vector<TTaskWindow*>& Windows() {
  static std::vector<TTaskWindow*> windows;
  return windows;
}
}  // namespace

TTaskWindow::TTaskWindow(const QString& name, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), className_(name) {
  setObjectName(name);
  setWindowTitle(caption);
  Windows().push_back(this);
  workerCalls_ = new TWorkerCalls(this);
  clockTick_ = new QTimer(this);
  clockTick_->setInterval(kClockTickMs);
  connect(clockTick_, &QTimer::timeout, this, [this] { showClock(); });
}

TTaskWindow::~TTaskWindow() {
  // Workers are joined by now (the operations belong to the derived window, destroyed
  // first); a wake-up still on its way goes with the queue.
  auto& windows = Windows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

TTaskWindow* TTaskWindow::Find(const QString& name) {
  for (TTaskWindow* window : Windows())
    if (window->objectName() == name || window->className_ == name) return window;
  return nullptr;
}

QColor TTaskWindow::ToQColor(Rgb colour) {
  if (colour == colour::kButtonFace) return QApplication::palette().color(QPalette::Button);
  return QColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

QString TTaskWindow::QtFilter(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString label = parts[i];
    if (!label.contains('(')) label += " (" + parts[i + 1] + ")";
    out << label;
  }
  return out.join(";;");
}

void TTaskWindow::onGui(std::function<void()> work) {
  if (QThread::currentThread() == thread()) work();
  else workerCalls_->hand(std::move(work));
}

TGauge* TTaskWindow::makeTimeGauge(const char* name, int maximum, bool fromGaugeValues) {
  timeGauge_ = new TGauge(this, name, maximum);
  timeFromGauge_ = fromGaugeValues;
  return timeGauge_;
}

void TTaskWindow::clockProgress(int pass, int done, int total) {
  clock_.progress(pass, done, total, TransferClock::Clock::now());
  if (!clockTick_->isActive()) clockTick_->start();
  showClock();
}

void TTaskWindow::clockStop() {
  clock_.stop(TransferClock::Clock::now());
  clockTick_->stop();
  showClock();
}

void TTaskWindow::showClock() {
  if (timeGauge_) timeGauge_->setTimeText(QString::fromStdString(clock_.text(TransferClock::Clock::now())));
}

void TTaskWindow::settleWorkerCalls() {
  if (QThread::currentThread() == thread()) workerCalls_->runAll();
}

void TTaskWindow::holdWhileBusy(std::vector<QWidget*> controls, std::function<bool()> busy) {
  heldControls_ = std::move(controls);
  for (QWidget* control : heldControls_) wanted_[control] = control->isEnabled();
  busy_ = std::move(busy);
}

void TTaskWindow::addJobLabel(std::string task, std::function<void(std::string)> apply) {
  jobLabel_ = Named(new QLineEdit(this), kJobLabel);
  jobLabel_->setPlaceholderText(Q(WindowTextsIn(language_).jobLabelHint));
  jobLabel_->setMaxLength(static_cast<int>(kMaxJobLabelChars));
  jobLabel_->setValidator(new JobLabelValidator(jobLabel_));
  jobLabel_->setClearButtonEnabled(true);
  // Hidden until a job offers two images to compare; a hidden button takes no room.
  compareOffered_ = Named(new QPushButton(Q(WindowTextsIn(language_).compareOffered), this), kCompareOffered);
  compareOffered_->hide();
  QObject::connect(compareOffered_, &QPushButton::clicked, this, [this] { openOfferedComparison(); });
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(jobLabel_, 1);
  row->addWidget(compareOffered_);
  if (auto* rows = qobject_cast<QBoxLayout*>(layout())) rows->addLayout(row);
  journalTask_ = std::move(task);
  applyLabel_ = std::move(apply);
}

void TTaskWindow::addJobLabel(FlashJob& job) {
  addJobLabel(job.task(), [&job](std::string label) { job.setLabel(std::move(label)); });
}

TTaskWindow* TTaskWindow::FindByJournalTask(std::string_view task) {
  if (task.empty()) return nullptr;
  for (TTaskWindow* window : Windows())
    if (window->journalTask_ == task) return window;
  return nullptr;
}

void TTaskWindow::offerComparison(Comparison comparison) {
  onGui([this, comparison = std::move(comparison)]() mutable {
    offered_ = std::move(comparison);
    if (compareOffered_) compareOffered_->show();
  });
}

TCompareWindow* TTaskWindow::openOfferedComparison() {
  if (!offered_) return nullptr;
  return OpenCompareWindow(this, {offered_->labelA, offered_->a}, {offered_->labelB, offered_->b});
}

void TTaskWindow::operationClick(const std::function<void()>& click) {
  if (!busy_ || !busy_()) {
    // The offer belongs to the job that made it.
    offered_.reset();
    if (compareOffered_) compareOffered_->hide();
    if (applyLabel_) applyLabel_(jobLabel_->text().trimmed().toStdString());
    for (QProgressBar* gauge : findChildren<QProgressBar*>()) {
      gauge->setValue(gauge->minimum());
      if (auto* drawn = dynamic_cast<TGauge*>(gauge)) drawn->showFailure(false);
    }
    clock_.clear();
    showClock();
  }
  click();
  syncHeld();
}

// Looked at after a click and at every operation's end: each operation is idle again (its
// mode back to none) before its end call is handed over, so the end releases the hold.
void TTaskWindow::syncHeld() {
  if (!busy_) return;
  held_ = busy_();
  for (QWidget* control : heldControls_) control->setEnabled(wanted_[control] && !held_);
}

QObject* TTaskWindow::control(std::string_view name) const {
  const QString key = Q(name);
  if (QObject* own = findChild<QObject*>(key)) return own;
  for (TTaskWindow* window : Windows())
    if (QObject* other = window->findChild<QObject*>(key)) return other;
  qWarning().noquote() << kNoControl + key << "in" << objectName();
  return nullptr;
}

void TTaskWindow::log(std::string line) {
  onGui([this, line = std::move(line)] {
    if (!memo_) return;
    // The log follows its end only while it is shown there (the editor does that itself for
    // a read-only log) and the user is not dragging its scroll bar: a new line does not
    // pull the view away from where the user scrolled to.
    QScrollBar* bar = memo_->verticalScrollBar();
    const bool dragged = bar->isSliderDown();
    const int before = bar->value();
    memo_->appendPlainText(Q(line));
    if (dragged) bar->setValue(before);
  });
}

void TTaskWindow::clearLog() {
  onGui([this] {
    if (memo_) memo_->clear();
  });
}

void TTaskWindow::setGaugeMax(std::string_view gauge, int maximum) {
  onGui([this, name = std::string(gauge), maximum] {
    if (auto* bar = qobject_cast<QProgressBar*>(control(name))) bar->setMaximum(std::max(maximum, 1));
  });
}

void TTaskWindow::setGauge(std::string_view gauge, int progress) {
  onGui([this, name = std::string(gauge), progress] {
    auto* bar = qobject_cast<QProgressBar*>(control(name));
    if (!bar) return;
    bar->setValue(std::clamp(progress, bar->minimum(), bar->maximum()));
    if (timeFromGauge_ && bar == timeGauge_) clockProgress(0, bar->value(), bar->maximum());
  });
}

void TTaskWindow::setGaugeColour(std::string_view gauge, Rgb colour) {
  onGui([this, name = std::string(gauge), colour] {
    QObject* target = control(name);
    // The window's gauges draw their colour themselves (no Q_OBJECT of their own: a plain cast).
    if (auto* drawn = dynamic_cast<TGauge*>(target)) drawn->setChunkColour(ToQColor(colour));
    else if (auto* bar = qobject_cast<QProgressBar*>(target))
      bar->setStyleSheet(QString("QProgressBar::chunk { background-color: %1; }").arg(ToQColor(colour).name()));
  });
}

void TTaskWindow::enable(std::string_view controlName, bool on) {
  onGui([this, name = std::string(controlName), on] {
    auto* widget = qobject_cast<QWidget*>(control(name));
    if (!widget) return;
    if (const auto it = wanted_.find(widget); it != wanted_.end()) {
      it->second = on;
      widget->setEnabled(on && !held_);
    } else {
      widget->setEnabled(on);
    }
  });
}

void TTaskWindow::setCaption(std::string_view controlName, std::string caption) {
  onGui([this, name = std::string(controlName), caption = std::move(caption)] {
    QObject* target = control(name);
    const QString text = Q(caption);
    if (auto* button = qobject_cast<QAbstractButton*>(target)) button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(target)) label->setText(text);
  });
}

void TTaskWindow::paint(std::string_view indicator, Rgb colour) {
  onGui([this, name = std::string(indicator), colour] {
    if (paintIndicator(name, colour)) return;
    if (auto* widget = qobject_cast<QWidget*>(control(name)))
      widget->setStyleSheet(QString("background-color: %1; border: 1px solid gray; border-radius: 3px;")
                                .arg(ToQColor(colour).name()));
  });
}

void TTaskWindow::select(std::string_view controlName, int index) {
  onGui([this, name = std::string(controlName), index] {
    QObject* target = control(name);
    if (auto* box = qobject_cast<QComboBox*>(target)) box->setCurrentIndex(index);
    else if (auto* check = qobject_cast<QAbstractButton*>(target)) check->setChecked(index != 0);
  });
}

void TTaskWindow::showWindow(std::string_view window, bool visible) {
  onGui([this, name = std::string(window), visible] {
    QWidget* target = name == "self" ? this : Find(Q(name));
    if (!target) return;
    if (visible) {
      target->show();
      target->raise();
      target->activateWindow();
    } else {
      target->hide();
    }
  });
}

void TTaskWindow::setTimer(std::string_view timerName, bool running) {
  onGui([this, name = std::string(timerName), running] {
    if (auto* timer = qobject_cast<QTimer*>(control(name))) {
      if (running) timer->start();
      else timer->stop();
    }
  });
}

void TTaskWindow::jobChanged(const JobStatus& status) {
  onGui([this, status] {
    if (timeGauge_ && !timeFromGauge_) {
      if (status.phase == JobPhase::Idle) {
        clockStop();
      } else if (!status.claimed) {
        clockProgress(static_cast<int>(status.phase), status.done, status.total);
      }
    }
    showJob(status);
  });
}

void TTaskWindow::ended(bool success) {
  onGui([this, success] {
    if (clock_.running()) clockStop();
    // A failure shows at a glance: the gauges turn red where they stopped.
    if (!success)
      for (QProgressBar* gauge : findChildren<QProgressBar*>())
        if (auto* drawn = dynamic_cast<TGauge*>(gauge)) drawn->showFailure(true);
    syncHeld();
    if (endedSeen) endedSeen(success);
  });
}

std::optional<std::string> TTaskWindow::askSaveFile(const FileDialog& dialog) {
  return askFile(dialog, remembered::Folder::Save);
}

std::optional<std::string> TTaskWindow::askOpenFile(const FileDialog& dialog) {
  return askFile(dialog, remembered::Folder::Open);
}

std::optional<std::string> TTaskWindow::askFile(FileDialog dialog, remembered::Folder which) {
  dialog.folder = remembered::LastFolder(objectName(), which).toStdString();
  if (which == remembered::Folder::Open && !chosenForWrite_.empty()) {
    const std::filesystem::path chosen(std::exchange(chosenForWrite_, {}));
    dialog.folder = chosen.parent_path().string();
    dialog.selected = chosen.string();
  }
  std::optional<std::string> path;
  if (dialogAnswer) path = dialogAnswer(dialog);
  else if (which == remembered::Folder::Open) path = showOpenBox(dialog);
  else path = showSaveBox(dialog);
  if (!path) return path;
  // Shown in the log and kept in the journal as the system writes paths (C:\dumps\x.bin).
  path = QDir::toNativeSeparators(Q(*path)).toStdString();
  remembered::KeepFolder(objectName(), which, Q(*path));
  return path;
}

std::optional<std::string> TTaskWindow::showSaveBox(const FileDialog& dialog) {
  const TQtTexts qtTexts(language_);
  QFileDialog box(this, Q(dialog.title), Q(dialog.folder));
  box.setAcceptMode(QFileDialog::AcceptSave);
  box.setNameFilter(QtFilter(dialog.filter));
  if (!dialog.defaultExtension.empty()) box.setDefaultSuffix(Q(dialog.defaultExtension).remove(0, 1));
  if (!dialog.defaultName.empty()) box.selectFile(Q(dialog.defaultName));
  box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.promptOverwrite);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
  const std::string path = box.selectedFiles().first().toStdString();
  // The dialog asks only about names that lead to a file; a dangling link is asked about too.
  std::error_code error;
  if (dialog.promptOverwrite && PathTaken(path) && !std::filesystem::exists(path, error) &&
      !askYesNo(path + " already exists (a link to nothing). Replace it?"))
    return std::nullopt;
  return path;
}

std::optional<std::string> TTaskWindow::showOpenBox(const FileDialog& dialog) {
  const TQtTexts qtTexts(language_);
  QFileDialog box(this, Q(dialog.title), Q(dialog.folder));
  box.setAcceptMode(QFileDialog::AcceptOpen);
  box.setFileMode(QFileDialog::ExistingFile);
  box.setNameFilter(QtFilter(dialog.filter));
  if (!dialog.selected.empty()) box.selectFile(Q(dialog.selected));
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
  return box.selectedFiles().first().toStdString();
}

void TTaskWindow::errorBox(std::string text) {
  if (errorBoxSeen) {
    errorBoxSeen(text);
    return;
  }
  const TQtTexts qtTexts(language_);
  QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(text), QMessageBox::Ok);
}

bool TTaskWindow::askYesNo(std::string question) {
  if (yesNoAnswer) return yesNoAnswer(question);
  const TQtTexts qtTexts(language_);
  return QMessageBox::question(this, QApplication::applicationName(), QString::fromStdString(question),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TTaskWindow::repaint() { QWidget::repaint(); }

void TTaskWindow::setExit(QAbstractButton* button, std::function<void()> handler, std::function<bool()> busy) {
  exitButton_ = button;
  exitHandler_ = std::move(handler);
  exitBusy_ = std::move(busy);
  connect(button, &QAbstractButton::clicked, this, [this] {
    exitHandler_();
    forgetLabelOnceLeft();
  });
}

// The label is the board's on the bench: the window left, the next board starts without it.
void TTaskWindow::forgetLabelOnceLeft() {
  if (jobLabel_ && !isVisible()) jobLabel_->clear();
}

// The windows are documented without a close box; where a window manager draws one anyway,
// it (and Alt+F4) does what the exit control does, and no more.
void TTaskWindow::closeEvent(QCloseEvent* event) {
  // Nothing to close: a hidden window never holds up the program's end.
  if (!isVisible()) {
    event->accept();
    return;
  }
  if (!exitButton_) {
    event->ignore();
    return;
  }
  if ((exitBusy_ && exitBusy_()) || !exitButton_->isEnabled()) {
    log(WindowTextsIn(language_).closeRefused);
    event->ignore();
    return;
  }
  exitHandler_();
  forgetLabelOnceLeft();
  // The handler hid the window (and showed the main one), or left it as it was.
  event->setAccepted(!isVisible());
}

}  // namespace jig

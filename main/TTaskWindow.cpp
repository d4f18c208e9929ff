#include "main/TTaskWindow.h"

#include "main/TGauge.h"
#include "main/TWidgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDateTime>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "link/DumpSink.h"

namespace jig {

namespace {
std::vector<TTaskWindow*>& Windows() {
  static std::vector<TTaskWindow*> windows;
  return windows;
}

// The texts of "Save log...", in the window's language.
struct SaveLogTexts {
  const char* action;
  const char* title;
  const char* filter;
  const char* notSaved;
};
constexpr SaveLogTexts kSaveLogEnglish{"Save log...", "Save log", "Text (*.txt)|*.txt|All files|*",
                                       "The log could not be saved to "};
constexpr SaveLogTexts kSaveLogRussian{"Сохранить журнал...", "Сохранить журнал", "Текст (*.txt)|*.txt|Все файлы|*",
                                       "Журнал не удалось сохранить в "};
// While buttons are held, the operation's end is looked for this often (besides its end
// call), so that they never stay disabled after it.
constexpr int kHeldCheckMs = 100;

// The window manager frames a new window within this time.
constexpr int kFrameSettleMs = 300;

// Platforms without a window manager draw no frames.
bool PlatformHasFrames() {
  const QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

const SaveLogTexts& SaveLogIn(LogLanguage language) {
  return language == LogLanguage::Russian ? kSaveLogRussian : kSaveLogEnglish;
}
}  // namespace

TTaskWindow::TTaskWindow(const QString& name, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), className_(name) {
  setObjectName(name);
  setWindowTitle(caption);
  Windows().push_back(this);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ >= 0) {
    wake_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(wake_, &QSocketNotifier::activated, this, [this] {
      std::uint64_t count = 0;
      while (::read(wakeFd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) {
      }
      runFromWorkers();
    });
  }
}

TTaskWindow::~TTaskWindow() {
  // The notifier goes before its descriptor; workers are joined by now (the operations
  // belong to the derived window, destroyed first).
  delete wake_;
  if (wakeFd_ >= 0) ::close(wakeFd_);
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
  if (QThread::currentThread() == thread()) {
    work();
  } else {
    {
      std::lock_guard lock(fromWorkersMutex_);
      fromWorkers_.push_back(std::move(work));
    }
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one)) return;
    // No eventfd (out of descriptors): Qt's own queue still runs it.
    QMetaObject::invokeMethod(this, [this] { runFromWorkers(); }, Qt::QueuedConnection);
  }
}

void TTaskWindow::settleWorkerCalls() {
  // Every hand-over goes through our queue (Qt's is only a wake-up when the eventfd fails).
  if (QThread::currentThread() == thread()) runFromWorkers();
}

void TTaskWindow::holdWhileBusy(std::vector<QWidget*> controls, std::function<bool()> busy) {
  heldControls_ = std::move(controls);
  for (QWidget* control : heldControls_) wanted_[control] = control->isEnabled();
  busy_ = std::move(busy);
  heldCheck_ = new QTimer(this);
  heldCheck_->setInterval(kHeldCheckMs);
  connect(heldCheck_, &QTimer::timeout, this, [this] { syncHeld(); });
}

void TTaskWindow::operationClick(const std::function<void()>& click) {
  if (!busy_ || !busy_())
    for (QProgressBar* gauge : findChildren<QProgressBar*>()) gauge->setValue(gauge->minimum());
  click();
  syncHeld();
}

void TTaskWindow::syncHeld() {
  if (!busy_) return;
  held_ = busy_();
  for (QWidget* control : heldControls_) control->setEnabled(wanted_[control] && !held_);
  if (held_ && !heldCheck_->isActive()) heldCheck_->start();
  if (!held_) heldCheck_->stop();
}

void TTaskWindow::runFromWorkers() {
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard lock(fromWorkersMutex_);
      if (fromWorkers_.empty()) return;
      next = std::move(fromWorkers_.front());
      fromWorkers_.pop_front();
    }
    next();
  }
}

QObject* TTaskWindow::control(std::string_view name) const {
  const QString key = Q(name);
  if (QObject* own = findChild<QObject*>(key)) return own;
  for (TTaskWindow* window : Windows())
    if (QObject* other = window->findChild<QObject*>(key)) return other;
  qWarning().noquote() << kNoControl + key << "in" << objectName();
  return nullptr;
}

void TTaskWindow::setLogWidget(QPlainTextEdit* memo) {
  memo_ = memo;
  if (!memo_) return;
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = logMenu();
    menu->exec(memo_->viewport()->mapToGlobal(at));
    delete menu;
  });
}

QString TTaskWindow::ProgramVersion() {
#ifdef JIG_VERSION
  return QStringLiteral("Holbrenik_JIG " JIG_VERSION);
#else
  return QStringLiteral("Holbrenik_JIG");
#endif
}

QMenu* TTaskWindow::logMenu() {
  QMenu* menu = memo_ ? memo_->createStandardContextMenu() : new QMenu(this);
  menu->addSeparator();
  QAction* save = menu->addAction(QString::fromUtf8(SaveLogIn(language_).action));
  save->setObjectName("SaveLogAction");
  save->setEnabled(memo_ != nullptr);
  connect(save, &QAction::triggered, this, [this] { saveLogAs(); });
  return menu;
}

bool TTaskWindow::saveLogAs() {
  if (!memo_) return false;
  FileDialog dialog;
  dialog.title = SaveLogIn(language_).title;
  dialog.filter = SaveLogIn(language_).filter;
  dialog.defaultExtension = ".txt";
  dialog.defaultName = objectName().toStdString() + "-log.txt";
  dialog.promptOverwrite = true;
  const auto path = askSaveFile(dialog);
  if (!path) return false;
  if (saveLog(Q(*path))) return true;
  errorBox(SaveLogIn(language_).notSaved + *path);
  return false;
}

bool TTaskWindow::saveLog(const QString& path) {
  if (!memo_) return false;
  QString text = ProgramVersion() + "\n" + windowTitle() + "\n" +
                 QDateTime::currentDateTime().toString(Qt::ISODate) + "\n\n" + memo_->toPlainText();
  if (!text.endsWith('\n')) text += '\n';
  // Written aside and renamed, so a full disk never leaves half a log under the name.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
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
    if (auto* bar = qobject_cast<QProgressBar*>(control(name)))
      bar->setValue(std::clamp(progress, bar->minimum(), bar->maximum()));
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

void TTaskWindow::ended(bool success) {
  onGui([this, success] {
    syncHeld();
    if (endedSeen) endedSeen(success);
  });
}

std::optional<std::string> TTaskWindow::askSaveFile(const FileDialog& dialog) {
  if (dialogAnswer) return dialogAnswer(dialog);
  QFileDialog box(this, QString::fromStdString(dialog.title));
  box.setAcceptMode(QFileDialog::AcceptSave);
  box.setNameFilter(QtFilter(dialog.filter));
  if (!dialog.defaultExtension.empty()) box.setDefaultSuffix(QString::fromStdString(dialog.defaultExtension).remove(0, 1));
  if (!dialog.defaultName.empty()) box.selectFile(QString::fromStdString(dialog.defaultName));
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

std::optional<std::string> TTaskWindow::askOpenFile(const FileDialog& dialog) {
  if (dialogAnswer) return dialogAnswer(dialog);
  QFileDialog box(this, QString::fromStdString(dialog.title));
  box.setAcceptMode(QFileDialog::AcceptOpen);
  box.setFileMode(QFileDialog::ExistingFile);
  box.setNameFilter(QtFilter(dialog.filter));
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return std::nullopt;
  return box.selectedFiles().first().toStdString();
}

void TTaskWindow::errorBox(std::string text) {
  if (errorBoxSeen) {
    errorBoxSeen(text);
    return;
  }
  QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(text), QMessageBox::Ok);
}

bool TTaskWindow::askYesNo(std::string question) {
  if (yesNoAnswer) return yesNoAnswer(question);
  return QMessageBox::question(this, QApplication::applicationName(), QString::fromStdString(question),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TTaskWindow::repaint() { QWidget::repaint(); }

QRect TTaskWindow::FitFrame(const QRect& available, const QRect& frame, const QSize& minimumFrame, bool centre) {
  const QSize size = frame.size().boundedTo(available.size()).expandedTo(minimumFrame);
  const auto place = [](int start, int length, int areaStart, int areaLength, bool middle) {
    if (length >= areaLength) return areaStart;
    const int at = middle ? areaStart + (areaLength - length) / 2 : start;
    return std::clamp(at, areaStart, areaStart + areaLength - length);
  };
  return {place(frame.left(), size.width(), available.left(), available.width(), centre),
          place(frame.top(), size.height(), available.top(), available.height(), centre), size.width(),
          size.height()};
}

bool TTaskWindow::frameKnown() const { return windowHandle() && !windowHandle()->frameMargins().isNull(); }

QMargins TTaskWindow::frameMarginsOrGuess() const {
  if (frameKnown()) return windowHandle()->frameMargins();
  // Before the window manager has framed the window its frame is unknown: a title bar and
  // borders at least as wide as most frames have.
  return PlatformHasFrames() ? QMargins(8, 32, 8, 8) : QMargins();
}

void TTaskWindow::placeOn(const QRect& available, bool centre) {
  const bool known = frameKnown();
  const QMargins margins = frameMarginsOrGuess();
  const QPoint frameAt = known ? frameGeometry().topLeft() : geometry().topLeft() - QPoint(margins.left(), margins.top());
  const QRect frame(frameAt, size().grownBy(margins));
  const QSize minimumFrame = minimumSize().expandedTo(layout() ? layout()->minimumSize() : QSize()).grownBy(margins);
  const QRect fitted = FitFrame(available, frame, minimumFrame, centre);
  placed_ = true;
  if (fitted == frame) return;  // where it is, as it is
  const QSize client = fitted.size().shrunkBy(margins);
  if (client != size()) resize(client);
  // A window's position is its frame's top-left corner once the frame is known; before,
  // it is taken for the client's, and the frame is drawn around it.
  move(known ? fitted.topLeft() : fitted.topLeft() + QPoint(margins.left(), margins.top()));
}

void TTaskWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // de-iconified: the user's place stays
  const QScreen* shown = screen();
  if (!shown) return;
  const bool guessed = !frameKnown() && PlatformHasFrames();
  placeOn(shown->availableGeometry(), !placed_);
  // Once the window manager has framed the window, a frame larger than guessed is
  // brought back inside.
  if (guessed)
    QTimer::singleShot(kFrameSettleMs, this, [this] {
      if (isVisible() && frameKnown() && screen() && !screen()->availableGeometry().contains(frameGeometry()))
        placeOn(screen()->availableGeometry(), false);
    });
}

void TTaskWindow::closeEvent(QCloseEvent* event) {
  // Task windows are left through their exit control, never through the frame.
  event->ignore();
}

}  // namespace jig

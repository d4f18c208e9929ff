#pragma once
// The Qt side of a window's view: finds controls by their objectName, carries out calls
// made from a worker on the GUI thread in order, and lets tests answer dialogs.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/TransferClock.h"
#include "gui/TRemembered.h"
#include "view/LogLanguage.h"
#include "view/TaskView.h"

namespace jig {

class FlashJob;
class TCompareWindow;
class TGauge;
class TWorkerCalls;

class TTaskWindow : public QWidget, public TaskView {
 public:
  TTaskWindow(const QString& name, const QString& caption, QWidget* parent = nullptr);
  ~TTaskWindow() override;

  // Every window of the program, by objectName or class name ("Form1", "TMEC16_Form").
  static TTaskWindow* Find(const QString& name);
  // The start of the warning about a control name that no window has.
  static constexpr const char* kNoControl = "No control named ";
  QString className() const { return className_; }

  void log(std::string line) override;
  void clearLog() override;
  void setGaugeMax(std::string_view gauge, int maximum) override;
  void setGauge(std::string_view gauge, int progress) override;
  void setGaugeColour(std::string_view gauge, Rgb colour) override;
  void enable(std::string_view control, bool enabled) override;
  void setCaption(std::string_view control, std::string caption) override;
  void paint(std::string_view indicator, Rgb colour) override;
  void select(std::string_view control, int index) override;
  void showWindow(std::string_view window, bool visible) override;
  void setTimer(std::string_view timer, bool running) override;
  void ended(bool success) override;
  void jobChanged(const JobStatus& status) override;
  void onOwnThread(std::function<void()> call) override { onGui(std::move(call)); }
  std::optional<std::string> askSaveFile(const FileDialog& dialog) override;
  std::optional<std::string> askOpenFile(const FileDialog& dialog) override;
  void errorBox(std::string text) override;
  bool askYesNo(std::string question) override;
  void repaint() override;

  // Tests: answer dialogs and message boxes instead of showing them, see the endings. A
  // file dialog's answer is kept as its last folder either way.
  std::function<std::optional<std::string>(const FileDialog&)> dialogAnswer;
  std::function<void(const std::string&)> errorBoxSeen;
  std::function<bool(const std::string&)> yesNoAnswer;
  std::function<void(bool)> endedSeen;

  // "Save log..." ("Сохранить журнал..." in a Russian window) on the log's context menu:
  // the program's name and version, the window, the time, then the log as it stands.
  // The log's context menu (the editor's own entries, then "Save log..."); the caller owns it.
  QMenu* logMenu();
  // Asks for a file and saves the log into it; false when cancelled or not written.
  bool saveLogAs();
  bool saveLog(const QString& path);
  static QString ProgramVersion();
  // The language of the window's own undocumented texts and of Qt's texts in its dialogs.
  LogLanguage logLanguage() const { return language_; }

  // Where a window's frame goes on a screen's available area (the screen less its panels):
  // no larger than the area unless its minimum is, centred when asked, and moved so that it
  // lies inside; a frame still larger than the area keeps its top-left corner (the title
  // bar) on it.
  static QRect FitFrame(const QRect& available, const QRect& frame, const QSize& minimumFrame, bool centre);
  // Fits this window on the area: shrinks it when needed, centres it when asked, clamps it.
  // Every window does this with its screen's available area when it is first shown
  // (centred) and when it is shown again (clamped only).
  void placeOn(const QRect& available, bool centre);

  // The technician's label for the jobs this window starts (a ticket or board number): null
  // in a window without jobs. Kept while the program runs, never saved: it belongs to one board.
  QLineEdit* jobLabel() const { return jobLabel_; }
  // The journal's name for this window's jobs ("kb90"); empty in a window without jobs.
  const std::string& journalTask() const { return journalTask_; }
  // The window whose jobs the journal names so; null when none.
  static TTaskWindow* FindByJournalTask(std::string_view task);
  // The file the next open dialog (the write's) starts with selected: a backup to restore.
  // It only chooses: the write still needs its button and its questions. Taken by that one
  // dialog, answered or not.
  void chooseForNextWrite(std::string path) { chosenForWrite_ = std::move(path); }
  // A job's two differing images: the "Compare..." button beside the label shows them until
  // the next click starts an operation. openOfferedComparison opens them (null: none offered).
  void offerComparison(Comparison comparison) override;
  TCompareWindow* openOfferedComparison();
  const std::string& chosenForNextWrite() const { return chosenForWrite_; }

  // The gauge that shows the transfer's elapsed and remaining time, if the window has one.
  TGauge* timeGauge() const { return timeGauge_; }

  static QColor ToQColor(Rgb colour);
  // "Text (*.bin)|*.bin|Другие|*.*" -> "Text (*.bin);;Другие (*.*)"
  static QString QtFilter(const std::string& filter);

 protected:
  void setClassName(const QString& name) { className_ = name; }
  void setLogWidget(QPlainTextEdit* memo);
  // The language of the window's own texts that are not documented (the log's menu).
  void setLogLanguage(LogLanguage language) { language_ = language; }
  // The window's transfer gauge, which also shows the transfer's time. A flash window's time
  // follows its job's reports (each phase a pass); fromGaugeValues: the gauge's own values
  // and maximum are the pass.
  TGauge* makeTimeGauge(const char* name, int maximum, bool fromGaugeValues = false);
  // The window's documented exit control and what it does. A click runs the handler; so
  // does the frame's close box (or Alt+F4) while the window is idle, and the window hides
  // as the handler makes it. While busy() holds, or while the exit control is disabled,
  // a close is refused with one log line. No busy: only the control's state counts.
  void setExit(QAbstractButton* button, std::function<void()> handler, std::function<bool()> busy = {});
  // Runs now on the GUI thread, else queued to it (in order).
  void onGui(std::function<void()> work);
  // GUI thread: carries out at once every call workers have already handed over, so that
  // what the user does next lands after them (Clear after the paints before it).
  void settleWorkerCalls();
  // Buttons that an operation ignores while it runs (its own start button among them):
  // disabled from the click that starts one until its end call releases them, so that
  // they look it. busy tells whether an operation runs. What the operation itself enables
  // or disables them to is kept and comes back when the hold ends.
  void holdWhileBusy(std::vector<QWidget*> controls, std::function<bool()> busy);
  // The label field, as the last row of the window's own layout (a box layout: the same
  // place in every window with jobs), made once the layout is. task: the journal's name for
  // the window's jobs; apply takes the label as a click that may start a job begins (see
  // operationClick).
  void addJobLabel(std::string task, std::function<void(std::string)> apply);
  // The same for a flash family's window: the label goes to its job.
  void addJobLabel(FlashJob& job);
  // A click that may start an operation: a new one starts with the window's gauges at 0
  // (no stale "100%" from the last one) and the label as the field shows it; the held
  // buttons follow the operation after it.
  void operationClick(const std::function<void()>& click);
  // A widget of this window, or of any window when this one has none of that name. A name
  // that no window has is a fault in the code: it is warned about (kNoControl, then the
  // name), and the window tests fail on that warning.
  QObject* control(std::string_view name) const;
  // A flash job's state on the window's own controls, on the GUI thread: the controls of
  // what the job adds (read twice, backup) are the window's to map.
  virtual void showJob(const JobStatus&) {}
  // Windows that paint indicators themselves (one widget for many) take this call.
  virtual bool paintIndicator(std::string_view, Rgb) { return false; }
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The window manager's frame, or a fair guess of it before the window is first mapped.
  bool frameKnown() const;
  QMargins frameMarginsOrGuess() const;

  void syncHeld();
  void forgetLabelOnceLeft();
  // The transfer clock: a report in, its text out to the time gauge.
  void clockProgress(int pass, int done, int total);
  void clockStop();
  void showClock();
  // A file dialog that starts in the folder it was last answered in (kept between runs).
  std::optional<std::string> askFile(FileDialog dialog, remembered::Folder which);
  std::optional<std::string> showSaveBox(const FileDialog& dialog);
  std::optional<std::string> showOpenBox(const FileDialog& dialog);

  QString className_;
  // Calls from workers wait here, in order, until the GUI thread runs them.
  TWorkerCalls* workerCalls_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  LogLanguage language_ = LogLanguage::English;
  bool placed_ = false;
  std::vector<QWidget*> heldControls_;
  std::unordered_map<QWidget*, bool> wanted_;  // as the operations and the window set them
  std::function<bool()> busy_;
  bool held_ = false;
  TGauge* timeGauge_ = nullptr;
  bool timeFromGauge_ = false;
  TransferClock clock_;
  QTimer* clockTick_ = nullptr;  // the elapsed time moves on between reports
  QAbstractButton* exitButton_ = nullptr;
  std::function<void()> exitHandler_;
  std::function<bool()> exitBusy_;
  QLineEdit* jobLabel_ = nullptr;
  std::string journalTask_;
  std::function<void(std::string)> applyLabel_;
  std::string chosenForWrite_;  // GUI thread only, as the open dialog
  QPushButton* compareOffered_ = nullptr;
  std::optional<Comparison> offered_;  // GUI thread only
};

}  // namespace jig

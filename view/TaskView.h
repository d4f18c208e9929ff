#pragma once
// What an operation may do to its window. The Qt windows carry out calls made from a
// worker on the GUI thread, in order; the command line prints; tests record.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jig {

using Rgb = std::uint32_t;  // 0xRRGGBB
namespace colour {
inline constexpr Rgb kBlack = 0x000000;
inline constexpr Rgb kRed = 0xFF0000;
inline constexpr Rgb kLime = 0x00FF00;
inline constexpr Rgb kGreen = 0x008000;
inline constexpr Rgb kYellow = 0xFFFF00;
inline constexpr Rgb kAqua = 0x00FFFF;
inline constexpr Rgb kNavy = 0x000080;
inline constexpr Rgb kSilver = 0xC0C0C0;
// Not a colour of its own: the system's button-face colour, whatever the theme says.
inline constexpr Rgb kButtonFace = 0xFF000000;
}  // namespace colour

// What a flash job is doing, as it tells its window; each window shows it on its own
// controls.
enum class JobPhase { Idle, Reading, Writing, Erasing, Verifying };
// Where a job stands with the chip, as it goes: what the chip holds if the job ends here.
// The verdict and the journal's outcome are told from it.
enum class JobStage {
  NotTouched,   // nothing that changes the chip has gone out
  CalledOff,    // the technician called the job off before it touched the chip
  Erasing,      // a write's erase went out: the chip is erased, perhaps partly, and not written
  Programming,  // the chip is being written: half written if it ends here
  Written,      // written to its end; its check has not run to its end
  Checked,      // written, and its check ran to its end (and said whether the chip holds the file)
  Refused,      // the chip refused the write (write-protected): it should hold what it held
};
struct JobStatus {
  JobPhase phase = JobPhase::Idle;
  int done = 0, total = 0;  // the running pass's progress
  bool ended = false;       // set with Idle at the end of a job, with its verdict
  JobStage stage = JobStage::NotTouched;
  bool claimed = false;     // a family's own short click holds the lock: no transfer runs
};

struct FileDialog {
  std::string title;
  std::string filter;            // "Description (*.bin)|*.bin|Другие|*.*"
  std::string defaultExtension;  // ".bin" or empty
  std::string defaultName;       // "Noname" or empty
  bool promptOverwrite = false;
  std::string folder;            // where the dialog starts; empty: where it always does
  std::string selected;          // a file chosen beforehand, shown selected; empty: none
};

// Two images a job found different (a read's two passes, an image and the chip read back):
// what a window may offer to show side by side.
struct Comparison {
  std::string labelA, labelB;
  std::vector<std::uint8_t> a, b;
};

class TaskView {
 public:
  virtual ~TaskView() = default;

  // Any thread.
  virtual void log(std::string line) = 0;
  virtual void clearLog() = 0;
  virtual void setGaugeMax(std::string_view gauge, int maximum) = 0;
  virtual void setGauge(std::string_view gauge, int progress) = 0;
  virtual void setGaugeColour(std::string_view gauge, Rgb colour) = 0;
  virtual void enable(std::string_view control, bool enabled) = 0;
  virtual void setCaption(std::string_view control, std::string caption) = 0;
  virtual void paint(std::string_view indicator, Rgb colour) = 0;
  // A list's selected row, or a check box (0 = off, 1 = on).
  virtual void select(std::string_view control, int index) = 0;
  // "self" is the window the view belongs to; "Form1" is the main window.
  virtual void showWindow(std::string_view window, bool visible) = 0;
  virtual void setTimer(std::string_view timer, bool running) = 0;
  // Called once when an operation ends, after its last change to the window; the
  // command line takes its exit status from it.
  virtual void ended(bool success) = 0;
  // A flash job's phase, progress or verdict changed.
  virtual void jobChanged(const JobStatus&) {}
  // Runs the call on the window's own thread, after every call handed over before it: how a
  // worker hands a question back to the window. A view that answers its questions on any
  // thread (the command line, a test's) runs it at once on the caller's.
  virtual void onOwnThread(std::function<void()> call) { call(); }

  // The window's own thread only: these block until the user answers.
  virtual std::optional<std::string> askSaveFile(const FileDialog& dialog) = 0;
  virtual std::optional<std::string> askOpenFile(const FileDialog& dialog) = 0;
  virtual void errorBox(std::string text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool askYesNo(std::string question) = 0;
  virtual void repaint() {}
  // A job ended on two images that differ; any thread. Nothing by default: the command line
  // has the compare command for files.
  virtual void offerComparison(Comparison) {}
};

}  // namespace jig

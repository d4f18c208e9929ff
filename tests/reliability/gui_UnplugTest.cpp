// The programmer pulled out in the middle of a long read, in real windows offscreen: the
// GUI thread keeps answering (no gap over 250 ms between ticks of a 10 ms timer once the
// click has returned), the read ends within its bound, the window is usable again and
// every handle is closed.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/GuiWait.h"
#include "tests/support/GuiLog.h"
#include "Kb901x_form/TKB901X_forms.h"
#include "link/Bounds.h"
#include "Npce/TNPCE_FORM.h"
#include "sim/SimD2xx.h"
#include "tests/support/TestFiles.h"

namespace jig {
namespace {

// A wire wait on the GUI thread would stand it still for a whole bound (300 ms at the least
// here); below that, a busy machine's scheduler alone has paused it for over 100 ms.
constexpr qint64 kLongestGapMs = 250;

// Records the largest gap between ticks of a 10 ms timer on the GUI thread.
class GapMeter {
 public:
  GapMeter() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      largest_ = std::max(largest_, clock_.restart());
    });
  }
  void start() {
    largest_ = 0;
    clock_.start();
    timer_.start();
  }
  qint64 stop() {
    timer_.stop();
    return std::max(largest_, clock_.elapsed());
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 largest_ = 0;
};

bool Pump(const std::function<bool()>& done, qint64 boundMs) { return jig::test::RunEventsUntil(done, boundMs); }

std::vector<std::string> Lines(const QPlainTextEdit* memo) {
  std::vector<std::string> out;
  for (const QString& line : test::DocumentedLines(memo, Qt::SkipEmptyParts)) out.push_back(line.toStdString());
  return out;
}

// What one window needs from the test: its controls, its click and a way to load the chip.
struct WindowUnderTest {
  TTaskWindow* form = nullptr;
  QAbstractButton* read = nullptr;
  std::vector<QAbstractButton*> buttons;  // enabled again at the end
  QAbstractButton* exit = nullptr;
  QProgressBar* gauge = nullptr;
  QPlainTextEdit* memo = nullptr;
  int gaugeAtStart = 0;  // the gauge's value once the click has returned
  qint64 boundMs = 0;    // from the unplug to the end, with a second to spare
};

// A long read with wire time on: pulled out once the gauge shows the transfer under way.
struct UnplugRun {
  qint64 largestGapMs = -1;
  qint64 endMs = -1;
  std::vector<bool> endings;
  std::string lastLine;
  std::vector<std::string> lines;
  bool dumpLeft = false;
};

UnplugRun PullMidRead(sim::SimD2xx& d2xx, WindowUnderTest w, const std::string& dump) {
  UnplugRun run;
  w.form->endedSeen = [&run](bool ok) { run.endings.push_back(ok); };
  w.form->dialogAnswer = [dump](const FileDialog&) { return std::optional<std::string>(dump); };
  w.form->show();

  // The click opens the programmer and runs the documented exchange before the worker
  // starts; the meter runs from its return on.
  QTest::mouseClick(w.read, Qt::LeftButton);
  GapMeter meter;
  meter.start();
  const int startValue = w.gauge->value();
  const bool underWay = Pump([&] { return w.gauge->value() > startValue + 2 || !run.endings.empty(); }, 10000);
  EXPECT_TRUE(underWay) << "the transfer never moved the gauge";
  EXPECT_TRUE(run.endings.empty()) << "the read ended before it could be pulled";
  EXPECT_LT(w.gauge->value(), w.gauge->maximum()) << "the read should still be running";

  QElapsedTimer sinceUnplug;
  sinceUnplug.start();
  d2xx.unplug(0);
  const bool ended = Pump([&] { return !run.endings.empty(); }, w.boundMs + 5000);
  run.endMs = sinceUnplug.elapsed();
  // A few more ticks: whatever the worker queued for the window after ended() runs too.
  Pump([] { return false; }, 50);
  run.largestGapMs = meter.stop();
  EXPECT_TRUE(ended) << "no ending within " << w.boundMs + 5000 << " ms of the unplug";
  run.lines = Lines(w.memo);
  run.lastLine = run.lines.empty() ? std::string() : run.lines.back();
  run.dumpLeft = std::filesystem::exists(dump);

  for (QAbstractButton* button : w.buttons) EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_EQ(d2xx.openHandles(), 0u);
  EXPECT_LE(run.endMs, w.boundMs);
  EXPECT_LE(run.largestGapMs, kLongestGapMs) << "the GUI thread stood still";

  // The window is usable: a second read finds no programmer and ends at once, exit closes.
  const std::size_t before = run.endings.size();
  QTest::mouseClick(w.read, Qt::LeftButton);
  EXPECT_TRUE(Pump([&] { return run.endings.size() > before; }, 2000));
  for (QAbstractButton* button : w.buttons) EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_EQ(d2xx.openHandles(), 0u);
  QTest::mouseClick(w.exit, Qt::LeftButton);
  EXPECT_FALSE(w.form->isVisible());
  ::testing::Test::RecordProperty("largest_gap_ms", static_cast<int>(run.largestGapMs));
  ::testing::Test::RecordProperty("end_after_unplug_ms", static_cast<int>(run.endMs));
  return run;
}

TEST(UnplugInWindow, Kb90ReadPulledMidTransfer) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.wireTime = true;
  d2xx.attach(options);
  const Kb90Bounds bounds{300, 400, 400, 400, 400, 400};
  TKB901X_forms form(d2xx, {dir.path()}, bounds);
  WindowUnderTest w{&form, form.KB901X_READ, {form.KB901X_READ, form.KB901X_WRITE, form.EXIT_KB901X},
                    form.EXIT_KB901X, form.CGauge_KB901X, form.KB901X_Memo};
  w.boundMs = bounds.blockMs + limits::kDrainTimeoutMs + 1000;
  const auto run = PullMidRead(d2xx, w, dir.file("kb90.bin"));
  EXPECT_EQ(run.endings.front(), false);
  EXPECT_EQ(run.lastLine.rfind("Reading stopped: the programmer was disconnected at block ", 0), 0u) << run.lastLine;
  EXPECT_FALSE(run.dumpLeft) << "an incomplete dump was kept";
  EXPECT_EQ(form.mode(), Kb90Mode::None);
}

TEST(UnplugInWindow, NpceReadPulledMidTransfer) {
  test::TempDir dir;
  sim::SimD2xx d2xx;
  sim::SimOptions options;
  options.image = "NPCE";
  options.wireTime = true;
  options.faults["version"] = "Q27 NPCE288 FW 1.7 bench units\\r\\n";
  d2xx.attach(options);
  const NpceBounds bounds{.blockMs = 300, .answerMs = 300, .drainMs = 500, .byteTries = 1};
  TNPCE_FORM form(d2xx, bounds);
  WindowUnderTest w{&form, form.NPCE_READ, {form.NPCE_READ, form.NPCE_WRITE, form.EXIT_NPCE},
                    form.EXIT_NPCE, form.CGauge_NPCE, form.NPCE_Memo};
  w.boundMs = bounds.blockMs + bounds.answerMs + bounds.drainMs + 1000;
  const auto run = PullMidRead(d2xx, w, dir.file("npce.bin"));
  EXPECT_EQ(run.endings.front(), false);
  EXPECT_EQ(form.operations().mode(), NpceMode::NONE);
  // The loss, then the time stamp every NPCE ending logs.
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2].rfind("The programmer is gone (unplugged?) while waiting for block ", 0), 0u)
      << run.lines[run.lines.size() - 2];
  EXPECT_EQ(run.lastLine.rfind("Current time  ", 0), 0u);
}

}  // namespace
}  // namespace jig

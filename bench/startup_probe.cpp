// jig-startup-probe: the program's window start-up (the same steps as holbrenik-jig
// without a command, on a simulated programmer), which prints the monotonic clock when
// the main window first paints and quits. The bench runs it to time exec to window.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/Backend.h"
#include "app/Options.h"
#include "app/TWindows.h"

namespace {

class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, &QApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }
  bool seen() const { return seen_; }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const jig::Options options = jig::ParseOptions({"--simulate"});
  jig::Backend backend = jig::MakeBackend(options);
  QApplication application(argc, argv);
  QApplication::setApplicationName("Holbrenik_JIG");
  FirstPaint probe;
  int status = 0;
  {
    jig::TWindows windows(*backend.d2xx);
    windows.Form1->installEventFilter(&probe);
    windows.Form1->show();
    QTimer::singleShot(5000, &application, &QApplication::quit);  // a window that never paints
    status = QApplication::exec();
  }
  return probe.seen() ? status : 1;
}

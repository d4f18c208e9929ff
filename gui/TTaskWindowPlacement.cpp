// Where a window goes on its screen: inside the available area, its frame included.
#include "gui/TTaskWindow.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace jig {

namespace {
// The window manager frames a new window within this time.
constexpr int kFrameSettleMs = 300;

// Platforms without a window manager draw no frames.
bool PlatformHasFrames() {
  const QString platform = QGuiApplication::platformName();
  return platform != "offscreen" && platform != "minimal";
}

}  // namespace

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

}  // namespace jig

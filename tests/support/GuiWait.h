#pragma once
// Waiting in a window test: the event loop runs (timers, paints, the calls a worker queued)
// in short slices until the test's condition holds or its bound passes.
#include <QElapsedTimer>
#include <QTest>

#include <functional>

namespace jig::test {

// True once done() holds; false when boundMs passed first.
inline bool RunEventsUntil(const std::function<bool()>& done, qint64 boundMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > boundMs) return false;
    QTest::qWait(5);
  }
  return true;
}

}  // namespace jig::test

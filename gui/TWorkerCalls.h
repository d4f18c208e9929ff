#pragma once
// Calls that workers hand to a window's GUI thread, run there in the order they came.
// The calls wait in a queue of ours under a std::mutex; Qt's event queue only carries a
// bare wake-up that the GUI thread never reads (nothing a worker built passes through it,
// where the thread checker could not see the hand-over). One pending wake-up covers every
// call handed over before it runs.
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace jig {

class TWorkerCalls : public QObject {
 public:
  explicit TWorkerCalls(QObject* window) : QObject(window) {}

  // Any thread but the GUI thread: queues the call and wakes the GUI thread unless a
  // wake-up is already on its way.
  void hand(std::function<void()> call);
  // GUI thread: runs every call handed over so far (and those handed over meanwhile).
  void runAll();

 protected:
  void customEvent(QEvent*) override { runAll(); }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  bool wakePending_ = false;
};

}  // namespace jig

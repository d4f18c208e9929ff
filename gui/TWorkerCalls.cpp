#include "gui/TWorkerCalls.h"

#include <QCoreApplication>
#include <QEvent>

namespace jig {

void TWorkerCalls::hand(std::function<void()> call) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
    wake = !wakePending_;
    wakePending_ = true;
  }
  if (wake) QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

void TWorkerCalls::runAll() {
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) {
        // A call handed over from now on needs a wake-up of its own.
        wakePending_ = false;
        return;
      }
      next = std::move(calls_.front());
      calls_.pop_front();
    }
    next();
  }
}

}  // namespace jig

#pragma once
// The one wake-up the command line's wait sleeps on: a signal (Ctrl-C, SIGTERM) or the
// operation's end rings it, so the wait answers either at once and costs nothing while
// neither comes. One command waits at a time.
#include <chrono>

namespace jig {

// Makes the wake-up; before the signal handlers are installed, and again at no cost.
void OpenInterruptWake();
// Rings it. Safe inside a signal handler (one write to a pipe; SetEvent on Windows); does
// nothing before it is made.
void RingInterruptWake();
// Sleeps until it rings or the bound passes, and takes the rings that came.
void WaitInterruptWake(std::chrono::milliseconds bound);

}  // namespace jig

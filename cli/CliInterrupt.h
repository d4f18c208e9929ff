#pragma once
// Ctrl-C, SIGTERM and a closed terminal (SIGHUP) on the command line ask the running operation to stop through its
// failure path (end byte, handle closed, temporary dump removed) instead of killing the
// program mid-transfer with a half-written file and a programmer still talking.
#include <chrono>
#include <functional>
#include <string_view>

#include "job/ChipGate.h"
#include "view/LogLanguage.h"

namespace jig {

class ConsoleView;

// Installs the handlers for SIGINT, SIGTERM and SIGHUP (the command line only). A closed
// terminal counts as a Ctrl-C: a write that has touched the chip goes on to its end.
void InstallInterruptHandlers();
// How many signals came, and the last one (0: none).
int InterruptCount();
int InterruptSignal();
// Tests: raise a signal's effect without a signal, and forget them all.
void NoteInterrupt(int signal);
void ResetInterrupts();

struct CliStop {
  std::function<void()> requestStop;  // ends the operation through its failure path
  bool isWrite = false;               // a write is stopped only by a second signal...
  ChipGate* gate = nullptr;           // ...once it has touched the chip; before, the first cancels it
  LogLanguage language = LogLanguage::English;  // of the warnings, as the task's log
};

// Waits for the operation to end; a signal asks it to stop. The exit status: 0 or 1 as the
// operation ended, 128 + the signal when a signal stopped it (a write that went on after
// the warning ends with its own status); a bound that passes counts as a failure.
int AwaitOperation(ConsoleView& view, std::chrono::milliseconds bound, const CliStop& stop, std::string_view what);

}  // namespace jig

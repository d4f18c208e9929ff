#include <windows.h>

#include <csignal>

#include "cli/CliInterrupt.h"
#include "cli/InterruptWake.h"

namespace jig {

namespace {
// Ctrl-C and Ctrl-Break count as SIGINT, a closed console or a logoff as SIGTERM; the
// command then ends as it does on Linux (status 128 + the signal's number).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      NoteInterrupt(SIGINT);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      NoteInterrupt(SIGTERM);
      return TRUE;
    default:
      return FALSE;
  }
}
}  // namespace

void InstallInterruptHandlers() {
  OpenInterruptWake();
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace jig

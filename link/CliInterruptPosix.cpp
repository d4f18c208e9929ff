#include <csignal>

#include "link/CliInterrupt.h"
#include "link/InterruptWake.h"

namespace jig {

namespace {
extern "C" void OnSignal(int signal) { NoteInterrupt(signal); }
}  // namespace

void InstallInterruptHandlers() {
  OpenInterruptWake();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace jig

#include <csignal>

#include "cli/CliInterrupt.h"
#include "cli/InterruptWake.h"

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
  // A closed terminal (a dropped SSH connection) hangs the program up: that is a first Ctrl-C,
  // never a death midway through a write.
  sigaction(SIGHUP, &action, nullptr);
  // A log reader that goes away (`| head`, a dead logger, a closed terminal) must not kill a
  // write midway: a write to it fails with EPIPE (EIO for a terminal) instead, the stream
  // drops the line, and the operation goes on to its own end and exit status.
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace jig

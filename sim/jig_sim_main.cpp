// jig-sim: one simulated programmer on a pseudo-terminal. The first line printed is the
// terminal's path, for holbrenik-jig --port PATH.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "link/Bounds.h"
#include "sim/SimProgrammer.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

std::uint32_t BaudOf(const termios& tio) {
  switch (cfgetospeed(&tio)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
  }
}

int Usage() {
  std::cerr << "Usage: jig-sim [--sim-image TAG] [--sim-state DIR] [--sim-wire] [--sim-fault NAME[=VALUE]]...\n"
               "Serves one simulated programmer on a pseudo-terminal; prints its path first.\n\nFaults:\n";
  for (const auto& fault : jig::sim::AllFaultNames()) std::cerr << "  " << fault.name << "\n      " << fault.help << '\n';
  return 2;
}

// The options; nullopt (after the usage or the error) when they are wrong.
std::optional<jig::sim::SimOptions> ParseArguments(int argc, char** argv) {
  jig::sim::SimOptions options;
  options.transcript = false;  // served for as long as it runs: it keeps no byte it exchanged
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    const bool hasValue = i + 1 < argc;
    std::string error;
    if (word == "--sim-image" && hasValue) options.image = argv[++i];
    else if (word == "--sim-state" && hasValue) options.stateDir = argv[++i];
    else if (word == "--sim-wire") options.wireTime = true;
    else if (word == "--sim-fault" && hasValue) {
      if (!jig::sim::AddFault(options, argv[++i], error)) {
        std::cerr << error << '\n';
        return std::nullopt;
      }
    } else {
      Usage();
      return std::nullopt;
    }
  }
  return options;
}

struct Terminal {
  int master = -1;
  int slave = -1;
  std::string path;
};

// The pseudo-terminal: its far end is held open so the terminal stays up between the
// host's opens, and raw, so nothing echoes. In packet mode, each read tells whether it
// brings the host's bytes or news of the terminal, such as the host's purge.
std::optional<Terminal> OpenTerminal() {
  Terminal terminal;
  terminal.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  int packetMode = 1;
  if (terminal.master < 0 || grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0 ||
      ioctl(terminal.master, TIOCPKT, &packetMode) != 0) {
    std::perror("jig-sim: pseudo-terminal");
    return std::nullopt;
  }
  terminal.path = ptsname(terminal.master);
  terminal.slave = open(terminal.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  tcgetattr(terminal.slave, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B921600);
  tcsetattr(terminal.slave, TCSANOW, &tio);
  return terminal;
}

// Passes the host's bytes to the programmer and its answers back, each when it is due,
// until a signal or an unplug.
void Serve(const Terminal& terminal, jig::sim::SimProgrammer& programmer) {
  std::vector<std::uint8_t> buffer(4096);
  while (!stopRequested && !programmer.gone()) {
    const auto now = jig::sim::SimClock::now();
    int timeoutMs = 100;
    if (const auto next = programmer.nextRelease()) {
      // Rounded up: a release is never served before its time.
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
      timeoutMs = static_cast<int>(std::clamp<long long>(wait, 0, 100));
    }
    pollfd p{terminal.master, POLLIN | POLLPRI, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready > 0 && (p.revents & (POLLIN | POLLPRI))) {
      const ssize_t n = read(terminal.master, buffer.data(), buffer.size());
      if (n > 1 && buffer[0] == TIOCPKT_DATA) {
        termios current{};
        if (tcgetattr(terminal.slave, &current) == 0) programmer.setBaud(BaudOf(current));
        programmer.hostWrite(std::span(buffer.data() + 1, static_cast<std::size_t>(n - 1)), jig::sim::SimClock::now());
      } else if (n == 1 && (buffer[0] & TIOCPKT_FLUSHREAD)) {
        programmer.hostPurged(jig::sim::SimClock::now());
      }
    }
    const std::size_t due = programmer.take(buffer.data(), buffer.size(), jig::sim::SimClock::now());
    for (std::size_t done = 0; done < due;) {
      const ssize_t n = write(terminal.master, buffer.data() + done, due - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) return 2;
  const auto terminal = OpenTerminal();
  if (!terminal) return 1;
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::cout << terminal->path << std::endl;

  jig::sim::SimProgrammer programmer(*options);
  // Nothing on a pseudo-terminal can set the bridge's latency timer; on a real port the
  // udev rule keeps it at the 2 ms every open asks for, and so does this one.
  programmer.setLatency(jig::limits::kLatencyMs);
  Serve(*terminal, programmer);
  // Closing the master hangs the terminal up: the host sees the programmer go.
  close(terminal->slave);
  close(terminal->master);
  return 0;
}

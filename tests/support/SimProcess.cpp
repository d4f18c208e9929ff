#include "tests/support/SimProcess.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/MsLeft.h"

namespace jig::test {

namespace {
std::vector<char*> Argv(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Starts the program with its standard output (and error, when asked) on a pipe; pid gets
// -1 when nothing could be started.
int Spawn(const std::vector<std::string>& arguments, bool withErrors, pid_t& pid) {
  int out[2];
  pid = -1;
  if (pipe(out) != 0) return -1;
  pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    if (withErrors) dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    auto argv = Argv(arguments);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  return out[0];
}
}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {std::string(JIG_BINARY_DIR) + "/jig-sim"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const int out = Spawn(all, false, pid_);
  if (out < 0) return;
  // The first line is the terminal's path; give the process two seconds to print it.
  char c;
  pollfd p{out, POLLIN, 0};
  while (poll(&p, 1, 2000) > 0 && read(out, &c, 1) == 1 && c != '\n') path_.push_back(c);
  close(out);
}

SimProcess::~SimProcess() { stop(); }

void SimProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& arguments) {
  out_ = Spawn(arguments, true, pid_);
}

BackgroundProgram::~BackgroundProgram() {
  std::string ignored;
  if (pid_ > 0) wait(0, ignored);
}

void BackgroundProgram::signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

int BackgroundProgram::wait(int boundMs, std::string& output) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  char buffer[512];
  for (;;) {
    const std::uint32_t left = MsLeft(deadline);
    pollfd p{out_, POLLIN, 0};
    if (left == 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  close(out_);
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

int RunProgram(const std::vector<std::string>& arguments, std::string& output) {
  pid_t pid = -1;
  const int out = Spawn(arguments, false, pid);
  if (out < 0) return -1;
  char buffer[512];
  ssize_t n;
  while ((n = read(out, buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(n));
  close(out);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {
// Waits for the end of a program started by the test, up to the deadline (then kills it and
// answers -1); the exit status, or 128 + the signal that ended it.
int AwaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
}  // namespace

int RunWithClosedOutput(const std::vector<std::string>& arguments, int boundMs) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  close(pipeEnds[0]);  // the reader is gone before the first line is written
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    close(pipeEnds[1]);
    auto argv = Argv(arguments);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (pid < 0) return -1;
  return AwaitExit(pid, std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs));
}

int RunOnTerminalClosedAt(const std::vector<std::string>& arguments, const std::string& hangUpAt, int boundMs,
                          std::string& printed) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    auto argv = Argv(arguments);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  // The terminal is read as it fills (a full one would hold the program up), until the line
  // shows or the program has let go of it.
  char buffer[512];
  for (;;) {
    const std::uint32_t left = MsLeft(deadline);
    pollfd p{master, POLLIN, 0};
    if (left == 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    printed.append(buffer, static_cast<std::size_t>(n));
    if (printed.find(hangUpAt) != std::string::npos) break;
  }
  close(master);  // the terminal hangs up
  return AwaitExit(pid, deadline);
}

}  // namespace jig::test

#pragma once
// jig-sim started as its own process on a pseudo-terminal, for end-to-end tests of the
// termios backend. Stopped (the terminal hangs up) when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace jig::test {

class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& arguments = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& path() const { return path_; }
  void stop();

 private:
  pid_t pid_ = -1;
  std::string path_;
};

// A program running beside the test, its standard output and error gathered together.
class BackgroundProgram {
 public:
  explicit BackgroundProgram(const std::vector<std::string>& arguments);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;
  pid_t pid() const { return pid_; }
  void signal(int number);
  // Waits for the end (killed after boundMs); the exit status, or 128 + the signal.
  int wait(int boundMs, std::string& output);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Runs a program, returns its exit status and what it printed on standard output.
int RunProgram(const std::vector<std::string>& arguments, std::string& output);

// Runs a program whose standard output and error are a pipe that nobody reads any more (as
// when `| head` has gone): its read end is closed before the program starts. The exit
// status, or 128 + the signal that ended it; killed (and -1) after boundMs.
int RunWithClosedOutput(const std::vector<std::string>& arguments, int boundMs);

// Runs a program on a pseudo-terminal of its own (its controlling terminal and all three
// standard streams) and closes the terminal, as a dropped SSH connection does, once hangUpAt
// shows in what it printed (at its end when it never shows). printed gets what came before
// the hangup. The exit status, or 128 + the signal; killed (and -1) after boundMs.
int RunOnTerminalClosedAt(const std::vector<std::string>& arguments, const std::string& hangUpAt, int boundMs,
                          std::string& printed);

}  // namespace jig::test

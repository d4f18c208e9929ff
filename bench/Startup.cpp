#include "bench/Startup.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace jig::bench {

Startup MeasureStartup(const std::string& probe, int starts) {
  Startup result;
  std::vector<double> times;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (int i = 0; i < starts; ++i) {
    int fds[2];
    if (pipe(fds) != 0) break;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);  // Qt's notes
    char* argv[] = {const_cast<char*>(probe.c_str()), nullptr};
    pid_t child = 0;
    const auto t0 = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&child, probe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    char chunk[64];
    for (ssize_t got; spawned == 0 && (got = read(fds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<std::size_t>(got));
    close(fds[0]);
    if (spawned != 0) break;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    result.peakMiB = std::max(result.peakMiB, static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) continue;
    const auto painted = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(std::stoll(text)));
    times.push_back(std::chrono::duration<double>(painted - t0).count());
  }
  result.started = static_cast<int>(times.size());
  if (!times.empty()) {
    std::sort(times.begin(), times.end());
    result.medianSeconds = times[times.size() / 2];
  }
  return result;
}

}  // namespace jig::bench

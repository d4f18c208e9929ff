#include "bench/Isolated.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace jig::bench {

namespace {
std::string& Filter() {
  static std::string filter;
  return filter;
}
}  // namespace

void SetRowFilter(std::string text) { Filter() = std::move(text); }
bool RowSelected(const std::string& name) { return name.find(Filter()) != std::string::npos; }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Row RunIsolated(const std::string& name, const std::function<Sample()>& body) {
  Row row{name, {}, 0};
  row.sample.ok = false;
  int fds[2];
  if (pipe(fds) != 0) return row;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return row;
  }
  if (child == 0) {
    close(fds[0]);
    const Sample sample = body();
    const ssize_t written = write(fds[1], &sample, sizeof sample);
    _exit(written == static_cast<ssize_t>(sizeof sample) ? 0 : 1);
  }
  close(fds[1]);
  Sample sample;
  const ssize_t got = read(fds[0], &sample, sizeof sample);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (got == static_cast<ssize_t>(sizeof sample) && WIFEXITED(status) && WEXITSTATUS(status) == 0) row.sample = sample;
  row.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports KiB
  return row;
}

}  // namespace jig::bench

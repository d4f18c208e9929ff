#include "cli/InterruptWake.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <thread>

namespace jig {

namespace {
// A pipe to ourselves: the handler writes a byte, the waiting thread polls the other end.
std::atomic<int> g_readEnd{-1};
std::atomic<int> g_writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free atomics");

// Without a pipe (out of descriptors) the wait still ends this often to look again.
constexpr std::chrono::milliseconds kWithoutPipe{50};
}  // namespace

void OpenInterruptWake() {
  static std::once_flag opened;
  std::call_once(opened, [] {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
  });
}

void RingInterruptWake() {
  const int fd = g_writeEnd.load();
  if (fd < 0) return;
  const int saved = errno;  // the interrupted code may be looking at errno
  const char ring = 1;
  // A full pipe already holds a ring: the lost byte changes nothing.
  [[maybe_unused]] const auto written = ::write(fd, &ring, 1);
  errno = saved;
}

void WaitInterruptWake(std::chrono::milliseconds bound) {
  const int fd = g_readEnd.load();
  if (fd < 0) {
    std::this_thread::sleep_for(std::min(bound, kWithoutPipe));
    return;
  }
  pollfd wait{fd, POLLIN, 0};
  const auto ms = std::clamp<std::chrono::milliseconds::rep>(bound.count(), 0, INT_MAX);
  if (::poll(&wait, 1, static_cast<int>(ms)) <= 0) return;
  char rings[64];
  while (::read(fd, rings, sizeof rings) > 0) {
  }
}

}  // namespace jig

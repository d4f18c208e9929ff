// The tests' view of the calls that make a dump durable, shared by both platforms' files.
#include <atomic>
#include <cerrno>
#include <mutex>

#include "files/PlatformFiles.h"

namespace jig::platform {

namespace {
std::atomic<bool> g_hooked{false};
std::mutex g_mutex;
std::function<bool(FileCall)> g_hook;
}  // namespace

void SetFileCallHook(std::function<bool(FileCall)> hook) {
  std::lock_guard lock(g_mutex);
  g_hook = std::move(hook);
  g_hooked = static_cast<bool>(g_hook);
}

bool PassFileCall(FileCall call) {
  if (!g_hooked.load()) return true;
  std::function<bool(FileCall)> hook;
  {
    std::lock_guard lock(g_mutex);
    hook = g_hook;
  }
  // Called without the lock: a hook may hold one thread's call until others reach theirs.
  if (!hook || hook(call)) return true;
  errno = EIO;
  return false;
}

}  // namespace jig::platform

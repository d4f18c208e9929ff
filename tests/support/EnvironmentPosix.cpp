#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "tests/support/Environment.h"

namespace jig::test {
void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  if (value) ::setenv(name.c_str(), value->c_str(), 1);
  else ::unsetenv(name.c_str());
}

// Linux tells it in /proc (size, then resident, in pages); other systems go without.
std::optional<std::size_t> ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return std::nullopt;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}
}  // namespace jig::test

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdlib>

#include "tests/support/Environment.h"

namespace jig::test {
// An empty value removes the variable.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  _putenv_s(name.c_str(), value ? value->c_str() : "");
}

// The working set: what of the process is in memory now.
std::optional<std::size_t> ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return std::nullopt;
  return counters.WorkingSetSize;
}
}  // namespace jig::test

#include <cstdlib>

#include "tests/support/Environment.h"

namespace jig::test {
// An empty value removes the variable.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  _putenv_s(name.c_str(), value ? value->c_str() : "");
}

// Not measured here: the tests that look at it skip that check.
std::optional<std::size_t> ResidentBytes() { return std::nullopt; }
}  // namespace jig::test

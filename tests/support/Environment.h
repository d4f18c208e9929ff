#pragma once
// Sets an environment variable of this process, or removes it (nullopt).
#include <optional>
#include <string>

namespace jig::test {
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);
}  // namespace jig::test

#pragma once
// This process's environment: its variables, and the memory it holds.
#include <cstddef>
#include <optional>
#include <string>

namespace jig::test {
// Sets an environment variable of this process, or removes it (nullopt).
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);
// The process's resident memory in bytes; nullopt where the system does not tell it.
std::optional<std::size_t> ResidentBytes();
}  // namespace jig::test

#pragma once
// Whole milliseconds left until a deadline, rounded up: a wait sliced by what is left never
// ends before its bound, and less than a millisecond left still sleeps instead of spinning.
// 0 once the deadline has passed.
#include <chrono>
#include <cstdint>

namespace jig {

inline std::uint32_t MsLeft(std::chrono::steady_clock::time_point deadline,
                            std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) {
  if (now >= deadline) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(left);
}

}  // namespace jig

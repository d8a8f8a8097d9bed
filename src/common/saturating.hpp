#pragma once

// Sums that stop at the largest value instead of wrapping around.

#include <cstdint>
#include <limits>

namespace tarnwick {

constexpr std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - a;
  return b > room ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

}  // namespace tarnwick

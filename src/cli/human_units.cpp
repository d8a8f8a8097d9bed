#include "cli/human_units.hpp"

#include <array>

namespace tarnwick::cli {

std::string human_bytes(std::uint64_t bytes) {
  if (bytes == 1) return "1 byte";
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  static constexpr std::array<const char*, 6> kUnits = {"KB", "MB", "GB", "TB", "PB", "EB"};
  std::size_t unit = 0;
  std::uint64_t size = 1024;
  while (unit + 1 < kUnits.size() && bytes / size >= 1024) {
    size *= 1024;
    ++unit;
  }
  // Integer arithmetic: the remainder is below 2^60, so ten times it fits.
  std::uint64_t whole = bytes / size;
  std::uint64_t tenths = ((bytes % size) * 10 + size / 2) / size;
  if (tenths == 10) {
    ++whole;
    tenths = 0;
  }
  if (whole == 1024 && unit + 1 < kUnits.size()) {  // 1023.95 KB and up read 1.0 MB
    whole = 1;
    ++unit;
  }
  return std::to_string(whole) + "." + std::to_string(tenths) + " " + kUnits[unit];
}

}  // namespace tarnwick::cli

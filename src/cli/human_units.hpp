#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::cli {

// A byte count as Windows shows sizes: binary units (1 KB = 1024 bytes)
// labelled KB, MB, GB, TB, PB, EB, with one decimal rounded half up;
// below 1 KB the exact count ("0 bytes", "1 byte", "1023 bytes").
// Examples: 1536 -> "1.5 KB", 1288490189 -> "1.2 GB".
std::string human_bytes(std::uint64_t bytes);

}  // namespace tarnwick::cli

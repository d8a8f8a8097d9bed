#pragma once

// The raw Windows error codes the cleaning engine decides on. Failures are
// classified by these exact numbers, never by a broader category.

#include <cstdint>

namespace tarnwick::clean::windows_error {

inline constexpr std::uint32_t file_not_found = 2;
inline constexpr std::uint32_t path_not_found = 3;
inline constexpr std::uint32_t access_denied = 5;
inline constexpr std::uint32_t sharing_violation = 32;
inline constexpr std::uint32_t lock_violation = 33;
inline constexpr std::uint32_t bad_netpath = 53;
inline constexpr std::uint32_t bad_net_name = 67;
inline constexpr std::uint32_t dir_not_empty = 145;
inline constexpr std::uint32_t directory = 267;  // ERROR_DIRECTORY: the name is not a directory
inline constexpr std::uint32_t delete_pending = 303;

}  // namespace tarnwick::clean::windows_error

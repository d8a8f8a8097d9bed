#pragma once

// The raw Windows error codes the cleaning engine decides on. Failures are
// classified by these exact numbers, never by a broader category.

#include <cstdint>

namespace tarnwick::clean::windows_error {

inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kLockViolation = 33;
inline constexpr std::uint32_t kBadNetpath = 53;
inline constexpr std::uint32_t kBadNetName = 67;
inline constexpr std::uint32_t kInvalidName = 123;  // ERROR_INVALID_NAME
inline constexpr std::uint32_t kDirNotEmpty = 145;
inline constexpr std::uint32_t kBadPathname = 161;
inline constexpr std::uint32_t kFilenameExcedRange = 206;  // ERROR_FILENAME_EXCED_RANGE
inline constexpr std::uint32_t kDirectory = 267;           // ERROR_DIRECTORY: the name is not a directory
inline constexpr std::uint32_t kDeletePending = 303;

}  // namespace tarnwick::clean::windows_error

#pragma once

// The text form in which a Run value's data is listed, chosen by the value's
// registry type. Portable: it works on the raw bytes the registry returned.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarnwick {

// Registry value types (winnt.h numbering).
enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegResourceList = 8,
  kRegFullResourceDescriptor = 9,
  kRegResourceRequirementsList = 10,
  kRegQword = 11,
};

// - REG_SZ, REG_EXPAND_SZ: little-endian UTF-16 (an odd last byte ignored),
//   unpaired surrogates as U+FFFD, trailing U+0000 removed, nothing expanded;
// - REG_MULTI_SZ: the same, then each remaining U+0000 becomes a line feed;
// - REG_DWORD of 4 bytes, REG_QWORD of 8 bytes: the unsigned little-endian
//   number in decimal;
// - every other type up to REG_QWORD, and a REG_DWORD or REG_QWORD of any
//   other length: the bytes as a list, "[1, 0, 255]" ("[]" when empty), so
//   that no data is hidden from the user.
// nullopt for a type above REG_QWORD, which has no text form.
std::optional<std::string> registry_value_text(std::uint32_t type, std::span<const std::uint8_t> data);

}  // namespace tarnwick

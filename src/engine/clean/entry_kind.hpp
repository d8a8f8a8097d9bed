#pragma once

// What a listed entry is, decided from its attributes and reparse tag alone.

#include <cstdint>

namespace tarnwick::clean {

inline constexpr std::uint32_t kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
inline constexpr std::uint32_t kReparseTagNameSurrogate = 0x20000000;

enum class EntryKind {
  // Symbolic links and junctions: removed as themselves, never entered.
  Link,
  Directory,
  PlainFile,
};

// The reparse tag counts only when the entry is a reparse point. A reparse
// point whose tag is not a name surrogate (a cloud placeholder, for example)
// is judged by its directory attribute like any other entry.
constexpr EntryKind entry_kind(std::uint32_t attributes, std::uint32_t reparse_tag) {
  if ((attributes & kAttributeReparsePoint) != 0 && (reparse_tag & kReparseTagNameSurrogate) != 0) {
    return EntryKind::Link;
  }
  return (attributes & kAttributeDirectory) != 0 ? EntryKind::Directory : EntryKind::PlainFile;
}

}  // namespace tarnwick::clean

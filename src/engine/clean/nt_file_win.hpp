#pragma once

// Native file-system declarations the Win32 layer of the engine needs beyond
// what the SDK headers offer at this build's target version.

#include <windows.h>
#include <winternl.h>

namespace tarnwick::clean::nt {

// FileDispositionInfoEx (Windows 10 1607 and later): MinGW's headers declare
// it only for newer targets than this build names.
inline constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

struct FileDispositionInfoEx {
  DWORD flags;
};

inline constexpr DWORD kDispositionDelete = 0x1;
inline constexpr DWORD kDispositionPosixSemantics = 0x2;
inline constexpr DWORD kDispositionIgnoreReadonly = 0x10;
// The name goes at once, open handles elsewhere notwithstanding, and a
// read-only file goes too.
inline constexpr DWORD kPosixDeleteFlags = kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadonly;

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace tarnwick::clean::nt

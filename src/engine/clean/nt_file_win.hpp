#pragma once

// Native file-system declarations the Win32 layer of the engine needs beyond
// what the SDK headers offer at this build's target version.

#include <windows.h>
#include <winternl.h>

namespace tarnwick::clean::nt {

// FileDispositionInfoEx (Windows 10 1607 and later): MinGW's headers declare
// it only for newer targets than this build names.
inline constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// Its flags, and the order they are tried in, are in volume_answers.hpp.
struct FileDispositionInfoEx {
  DWORD flags;
};

// FileStatInformation (Windows 10 1709 and later, where the file system
// takes it): attributes, reparse tag, link count and sizes in one query.
inline constexpr auto kFileStatInformation = static_cast<FILE_INFORMATION_CLASS>(68);

struct FileStatInformation {
  LARGE_INTEGER file_id;
  LARGE_INTEGER creation_time;
  LARGE_INTEGER last_access_time;
  LARGE_INTEGER last_write_time;
  LARGE_INTEGER change_time;
  LARGE_INTEGER allocation_size;
  LARGE_INTEGER end_of_file;
  ULONG file_attributes;
  ULONG reparse_tag;
  ULONG number_of_links;
  ACCESS_MASK effective_access;
};

inline constexpr NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace tarnwick::clean::nt

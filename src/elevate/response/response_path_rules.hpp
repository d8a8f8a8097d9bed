#pragma once

// Which response paths and which opened files the helper may write its
// response to. The path comes from whoever started the helper, so it is
// checked before anything is opened, and the opened file before a byte of it
// changes. Portable: the Windows writer supplies the text and the handle facts.

#include <cstdint>
#include <string_view>

namespace tarnwick {

enum class ResponsePathRefusal {
  None,
  EmbeddedNul,      // the system would cut the path at the NUL
  DeviceNamespace,  // \\.\..., \\?\ not followed by a drive, \??\...
  NetworkPath,      // \\server\share, or any other path that starts with two separators
  AlternateStream,  // a colon anywhere but after the drive letter
  DeviceName,       // NUL, CON, COM1, aux.txt, ... as the last component
};

// Refusals decided from the text alone, before anything is opened.
ResponsePathRefusal response_path_refusal(std::u16string_view path);

// What the opened response file turned out to be, read from its handle.
struct ResponseFileFacts {
  bool disk_file = false;  // GetFileType answered FILE_TYPE_DISK
  bool directory = false;
  bool reparse_point = false;
  std::uint32_t link_count = 0;
};

// Only a plain disk file with exactly one name may be truncated and written:
// a second hard link would let the response land in a file the path does not
// name.
bool response_file_acceptable(const ResponseFileFacts& facts);

}  // namespace tarnwick

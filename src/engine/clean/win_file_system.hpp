#pragma once

// The engine's file system on Windows. Every path goes through the
// long-path hand-over first. Holds no state.

#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

class WinFileSystem final : public FileSystem {
 public:
  // CreateFileW with no access and FILE_FLAG_BACKUP_SEMANTICS, then the
  // attributes. Refused for ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION,
  // a directory search for the path itself stands in, if what it finds is
  // not a link; for ERROR_CANT_ACCESS_FILE, the entry opened as itself
  // (FILE_FLAG_OPEN_REPARSE_POINT), if it is not a link.
  bool is_present(std::u16string_view path) override;

  // FindFirstFileExW on "path\*" (FindExInfoBasic), FindNextFileW to the end.
  // ERROR_FILE_NOT_FOUND from the first call is an empty folder.
  Result<Listing, FsError> list_folder(std::u16string_view path) override;

  // DeleteFileW; refused with ERROR_ACCESS_DENIED (a read-only file, a link
  // to a folder), the entry is opened as itself for DELETE and marked with
  // POSIX semantics. If that fails too, the error is DeleteFileW's.
  Result<Done, FsError> delete_file(std::u16string_view path) override;

  // CreateFileW for DELETE with FILE_FLAG_OPEN_REPARSE_POINT.
  Result<std::unique_ptr<OpenEntry>, FsError> open_no_follow(std::u16string_view path) override;

  // SwitchToThread.
  void pause_before_retry() override;
};

}  // namespace tarnwick::clean

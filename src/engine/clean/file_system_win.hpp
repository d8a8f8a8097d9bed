#pragma once

// The engine's file system on Windows. The target's path goes through the
// long-path hand-over; everything below a target is reached through its
// handle (WinOpenEntry). Holds no state.

#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

class WinFileSystem final : public FileSystem {
 public:
  // CreateFileW for FILE_READ_ATTRIBUTES with FILE_FLAG_BACKUP_SEMANTICS |
  // FILE_FLAG_OPEN_REPARSE_POINT, every kind of sharing allowed.
  Result<std::unique_ptr<OpenEntry>, OsError> open_target(std::u16string_view path) override;

  // SwitchToThread.
  void pause_before_retry() override;
};

}  // namespace tarnwick::clean

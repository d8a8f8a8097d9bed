#pragma once

// An entry reached through a handle: the scan's and the deletion's steps on
// Windows below a target, every one relative to a handle already held.

#include <memory>
#include <string_view>

#include "engine/clean/file_system.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::clean {

class WinOpenEntry final : public OpenEntry {
 public:
  explicit WinOpenEntry(win::UniqueKernelHandle handle) : handle_(std::move(handle)) {}

  // FileAttributeTagInfo of the handle: the entry itself, never a link's target.
  Result<EntryAttributes, OsError> attributes() override;
  // Reopens this very folder for listing (a relative open with an empty
  // name), then reads FileIdBothDirectoryInfo from that handle.
  Result<Listing, OsError> list_children() override;
  // NtOpenFile relative to this handle, with FILE_OPEN_REPARSE_POINT.
  Result<std::unique_ptr<OpenEntry>, OsError> open_child(std::u16string_view name) override;
  // FileDispositionInfoEx with POSIX semantics; FileDispositionInfo where
  // the file system does not take that class.
  Result<Done, OsError> mark_for_deletion() override;

 private:
  win::UniqueKernelHandle handle_;
};

}  // namespace tarnwick::clean

#pragma once

// An entry reached through a handle: the scan's and the deletion's steps on
// Windows below a target, every one relative to a handle already held.

#include <memory>
#include <string_view>

#include "engine/clean/file_system.hpp"
#include "engine/clean/volume_answers.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::clean {

// Whether an entry's own handle carries the right to list it (a target,
// opened as a folder to be listed) or a listing reopens it (a child, opened
// for deletion only: asking it for more than that could be refused).
enum class ListsThrough : bool { Reopen, OwnHandle };

class WinOpenEntry final : public OpenEntry {
 public:
  WinOpenEntry(win::UniqueKernelHandle handle, std::shared_ptr<VolumeFacts> volume,
               ListsThrough lists = ListsThrough::Reopen)
      : handle_(std::move(handle)), volume_(std::move(volume)), lists_(lists) {}

  // FileStatInformation of the handle, or FileAttributeTagInfo and
  // FileStandardInfo where it is refused: the entry itself, never a link's
  // target.
  Result<EntryAttributes, OsError> attributes() override;
  // Reads FileIdBothDirectoryInfo from the entry's own handle where it may
  // list, else from this very folder reopened for listing (a relative open
  // with an empty name, FILE_DIRECTORY_FILE).
  Result<Listing, OsError> list_children() override;
  // NtOpenFile relative to this handle, with FILE_OPEN_REPARSE_POINT.
  Result<std::unique_ptr<OpenEntry>, OsError> open_child(std::u16string_view name) override;
  // FileDispositionInfoEx with POSIX semantics; FileDispositionInfo where
  // the volume does not take them (mark_with_disposition's order).
  Result<Done, OsError> mark_for_deletion() override;
  // See the definition: one open with FILE_NON_DIRECTORY_FILE, one query,
  // the disposition (carried by the open where POSIX is refused), one close.
  Result<std::optional<EntryAttributes>, OsError> delete_non_folder_child(std::u16string_view name) override;

 private:
  win::UniqueKernelHandle handle_;
  std::shared_ptr<VolumeFacts> volume_;
  ListsThrough lists_;
};

}  // namespace tarnwick::clean

#include "engine/clean/open_entry_win.hpp"

#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/clean/nt_file_win.hpp"
#include "platform/win/nt_api_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::clean {
namespace {

// An open's outcome as the system gave it: the caller tells some statuses
// apart that share one Win32 code (a directory where none was wanted, and
// access denied, both give ERROR_ACCESS_DENIED).
struct RelativeOpen {
  NTSTATUS status = 0;
  win::UniqueKernelHandle handle;
};

// A name that stands for one entry of its folder: one with a separator
// would pass through its first part (a link there followed), one with a
// colon would open a stream, of the folder itself when it starts with one,
// and "." and ".." are the folder and its parent. No file system the helper
// lists gives such names; a relative open must not trust that.
bool single_entry_name(std::u16string_view name) {
  if (name == u"." || name == u"..") return false;
  return name.find_first_of(std::u16string_view(u"\0\\/:", 4)) == std::u16string_view::npos;
}

// Opens `name` relative to the folder handle `parent`; an empty name opens
// the entry of `parent` itself again. A link at the name is opened as the
// link (FILE_OPEN_REPARSE_POINT). Any other name that is not one entry's
// (single_entry_name) is refused. No FILE_OPEN_FOR_BACKUP_INTENT: the helper
// holds no backup or restore privilege enabled, so the flag would grant
// nothing; what it may delete is what Administrators may delete.
Result<RelativeOpen, OsError> open_relative_status(HANDLE parent, std::u16string_view name, ACCESS_MASK access,
                                                   ULONG options) {
  if (!name.empty() && !single_entry_name(name)) return Err{OsError{ERROR_INVALID_NAME}};
  if (name.size() * sizeof(wchar_t) > 0xFFFE) return Err{OsError{ERROR_FILENAME_EXCED_RANGE}};
  const std::wstring_view wide_name = win::as_wide(name);
  UNICODE_STRING object_name = win::nt::counted(wide_name.data(), wide_name.size());
  OBJECT_ATTRIBUTES object_attributes;
  InitializeObjectAttributes(&object_attributes, &object_name, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io_status{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ::NtOpenFile(&handle, access, &object_attributes, &io_status, nt::kShareAll,
                                       options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT);
  RelativeOpen opened;
  opened.status = status;
  if (NT_SUCCESS(status)) opened.handle = win::UniqueKernelHandle(handle);
  return opened;
}

Result<win::UniqueKernelHandle, OsError> open_relative(HANDLE parent, std::u16string_view name, ACCESS_MASK access,
                                                       ULONG options) {
  auto opened = open_relative_status(parent, name, access, options);
  if (!opened) return Err{opened.error()};
  if (!NT_SUCCESS(opened.value().status)) return Err{OsError{::RtlNtStatusToDosError(opened.value().status)}};
  return std::move(opened.value().handle);
}

// Attributes, reparse tag, link count and sizes of an open entry: one query
// where the volume takes FileStatInformation, two where it does not (learnt
// on the first refusal).
Result<EntryAttributes, OsError> query_entry(HANDLE handle, VolumeFacts& volume) {
  if (!volume.stat_query_refused) {
    nt::FileStatInformation stat{};
    IO_STATUS_BLOCK io_status{};
    const NTSTATUS status = ::NtQueryInformationFile(handle, &io_status, &stat, sizeof stat, nt::kFileStatInformation);
    if (NT_SUCCESS(status)) {
      return EntryAttributes{stat.file_attributes, stat.reparse_tag, stat.number_of_links,
                             static_cast<std::uint64_t>(stat.end_of_file.QuadPart),
                             static_cast<std::uint64_t>(stat.allocation_size.QuadPart)};
    }
    if (!info_class_refused(static_cast<std::uint32_t>(status))) {
      return Err{OsError{::RtlNtStatusToDosError(status)}};
    }
    volume.stat_query_refused = true;
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    return Err{OsError{::GetLastError()}};
  }
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    return Err{OsError{::GetLastError()}};
  }
  return EntryAttributes{tag.FileAttributes, tag.ReparseTag, standard.NumberOfLinks,
                         static_cast<std::uint64_t>(standard.EndOfFile.QuadPart),
                         static_cast<std::uint64_t>(standard.AllocationSize.QuadPart)};
}

// The two dispositions on one handle, for mark_with_disposition, which
// decides which to try.
class HandleDisposition final : public DispositionCalls {
 public:
  explicit HandleDisposition(HANDLE handle) : handle_(handle) {}
  std::uint32_t set_disposition_ex(std::uint32_t flags) override {
    nt::FileDispositionInfoEx disposition{flags};
    if (::SetFileInformationByHandle(handle_, nt::kFileDispositionInfoEx, &disposition, sizeof disposition)) return 0;
    return ::GetLastError();
  }
  std::uint32_t set_classic_disposition() override {
    FILE_DISPOSITION_INFO classic{TRUE};
    if (::SetFileInformationByHandle(handle_, FileDispositionInfo, &classic, sizeof classic)) return 0;
    return ::GetLastError();
  }

 private:
  HANDLE handle_;
};

Result<Done, OsError> mark_open_entry(HANDLE handle, VolumeFacts& volume) {
  HandleDisposition calls(handle);
  return mark_with_disposition(volume, calls);
}

bool is_dot_or_dot_dot(std::u16string_view name) { return name == u"." || name == u".."; }

// Appends the entries of one FileIdBothDirectoryInfo buffer. Records are
// copied out byte-wise: the name runs past the declared one-unit array.
void append_entries(const std::byte* buffer, std::size_t buffer_size, Listing& listing) {
  constexpr std::size_t kNameOffset = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
  std::size_t offset = 0;
  for (;;) {
    if (offset + kNameOffset > buffer_size) return;
    FILE_ID_BOTH_DIR_INFO record{};
    std::memcpy(&record, buffer + offset, kNameOffset);
    const std::size_t name_units = record.FileNameLength / sizeof(char16_t);
    if (offset + kNameOffset + name_units * sizeof(char16_t) > buffer_size) return;
    std::u16string name(name_units, u'\0');
    std::memcpy(name.data(), buffer + offset + kNameOffset, name_units * sizeof(char16_t));
    if (!is_dot_or_dot_dot(name)) {
      const bool reparse = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      listing.entries.push_back({std::move(name), record.FileAttributes,
                                 static_cast<std::uint64_t>(record.EndOfFile.QuadPart),
                                 reparse ? static_cast<std::uint32_t>(record.EaSize) : 0});
    }
    if (record.NextEntryOffset == 0) return;
    offset += record.NextEntryOffset;
  }
}

}  // namespace

Result<EntryAttributes, OsError> WinOpenEntry::attributes() { return query_entry(handle_.get(), *volume_); }

Result<Listing, OsError> WinOpenEntry::list_children() {
  win::UniqueKernelHandle reopened;
  if (lists_ == ListsThrough::Reopen) {
    auto folder = open_relative(handle_.get(), u"", FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_DIRECTORY_FILE);
    if (!folder) return Err{folder.error()};
    reopened = std::move(folder).value();
  }
  const HANDLE folder = lists_ == ListsThrough::Reopen ? reopened.get() : handle_.get();
  constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
  std::vector<std::uint64_t> storage(kBufferSize / sizeof(std::uint64_t));  // 8-byte aligned records
  const auto* bytes = reinterpret_cast<const std::byte*>(storage.data());
  Listing listing;
  FILE_INFO_BY_HANDLE_CLASS info_class = FileIdBothDirectoryRestartInfo;
  for (bool first = true;; first = false) {
    if (!::GetFileInformationByHandleEx(folder, info_class, storage.data(), kBufferSize)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_NO_MORE_FILES) return listing;
      if (first) return Err{OsError{error}};
      listing.broke_off = OsError{error};
      return listing;
    }
    info_class = FileIdBothDirectoryInfo;
    append_entries(bytes, kBufferSize, listing);
  }
}

Result<std::unique_ptr<OpenEntry>, OsError> WinOpenEntry::open_child(std::u16string_view name) {
  if (name.empty()) return Err{OsError{ERROR_INVALID_NAME}};  // would open this entry itself
  auto child = open_relative(handle_.get(), name, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0);
  if (!child) return Err{child.error()};
  return std::unique_ptr<OpenEntry>(std::make_unique<WinOpenEntry>(std::move(child).value(), volume_));
}

Result<Done, OsError> WinOpenEntry::mark_for_deletion() { return mark_open_entry(handle_.get(), *volume_); }

// Per file: one open, one query (two where FileStatInformation is refused),
// the disposition, one close. Where the volume refuses the POSIX disposition
// the open itself carries the deletion (FILE_DELETE_ON_CLOSE: the classic
// semantics, which the disposition would have given anyway), so that no
// disposition call is made.
//
// A swap between the listing and this open is still seen, as the attribute
// query sees it elsewhere: FILE_NON_DIRECTORY_FILE makes the open fail with
// STATUS_FILE_IS_A_DIRECTORY when a folder, a junction or a link to a folder
// stands at the name now, before anything is marked; the caller then opens
// it plainly and judges it by its handle. A file link swapped in is opened
// as itself (FILE_OPEN_REPARSE_POINT) and deleted as a link, which is what a
// link gets anyway; the query, made through the same handle before the name
// goes, says it is one, and it frees nothing. So does a file with another
// name (a hard link).
Result<std::optional<EntryAttributes>, OsError> WinOpenEntry::delete_non_folder_child(std::u16string_view name) {
  if (name.empty()) return Err{OsError{ERROR_INVALID_NAME}};  // would open this entry itself
  const bool deleted_on_close = volume_->posix_delete_refused;
  const ULONG options = FILE_NON_DIRECTORY_FILE | (deleted_on_close ? FILE_DELETE_ON_CLOSE : 0);
  auto opened = open_relative_status(handle_.get(), name, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, options);
  if (!opened) return Err{opened.error()};
  if (opened.value().status == nt::kStatusFileIsADirectory) return std::optional<EntryAttributes>{};
  if (!NT_SUCCESS(opened.value().status)) return Err{OsError{::RtlNtStatusToDosError(opened.value().status)}};
  const HANDLE child = opened.value().handle.get();

  auto found = query_entry(child, *volume_);
  if (deleted_on_close) {
    // The name goes when the handle closes, whatever the query gave: an
    // entry whose link count could not be read frees nothing.
    return std::optional<EntryAttributes>(found ? found.value() : EntryAttributes{});
  }
  if (!found) return Err{found.error()};
  auto marked = mark_open_entry(child, *volume_);
  if (!marked) return Err{marked.error()};
  return std::optional<EntryAttributes>(found.value());
}

}  // namespace tarnwick::clean

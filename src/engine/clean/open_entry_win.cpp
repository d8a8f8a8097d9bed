#include "engine/clean/open_entry_win.hpp"

#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/clean/nt_file_win.hpp"

namespace tarnwick::clean {
namespace {

// Opens `name` relative to the folder handle `parent`; an empty name opens
// the entry of `parent` itself again. A link at the name is opened as the
// link (FILE_OPEN_REPARSE_POINT). A name with a separator is refused: its
// first part would be passed through, a link there followed.
Result<win::UniqueKernelHandle, OsError> open_relative(HANDLE parent, std::u16string_view name, ACCESS_MASK access,
                                                       ULONG options) {
  if (name.find_first_of(std::u16string_view(u"\0\\", 2)) != std::u16string_view::npos) {
    return Err{OsError{ERROR_INVALID_NAME}};
  }
  if (name.size() * sizeof(wchar_t) > 0xFFFE) return Err{OsError{ERROR_FILENAME_EXCED_RANGE}};
  UNICODE_STRING object_name;
  object_name.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(name.data()));
  object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  object_name.MaximumLength = object_name.Length;
  OBJECT_ATTRIBUTES object_attributes;
  InitializeObjectAttributes(&object_attributes, &object_name, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io_status{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      ::NtOpenFile(&handle, access, &object_attributes, &io_status, nt::kShareAll,
                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT);
  if (!NT_SUCCESS(status)) return Err{OsError{::RtlNtStatusToDosError(status)}};
  return win::UniqueKernelHandle(handle);
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

Result<EntryAttributes, OsError> WinOpenEntry::attributes() {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle_.get(), FileAttributeTagInfo, &info, sizeof info)) {
    return Err{OsError{::GetLastError()}};
  }
  return EntryAttributes{info.FileAttributes, info.ReparseTag};
}

Result<Listing, OsError> WinOpenEntry::list_children() {
  auto folder = open_relative(handle_.get(), u"", FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_DIRECTORY_FILE);
  if (!folder) return Err{folder.error()};
  constexpr std::size_t kBufferSize = 64 * 1024;
  std::vector<std::uint64_t> storage(kBufferSize / sizeof(std::uint64_t));  // 8-byte aligned records
  const auto* bytes = reinterpret_cast<const std::byte*>(storage.data());
  Listing listing;
  FILE_INFO_BY_HANDLE_CLASS info_class = FileIdBothDirectoryRestartInfo;
  for (bool first = true;; first = false) {
    if (!::GetFileInformationByHandleEx(folder.value().get(), info_class, storage.data(), kBufferSize)) {
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
  return std::unique_ptr<OpenEntry>(std::make_unique<WinOpenEntry>(std::move(child).value()));
}

Result<Done, OsError> WinOpenEntry::mark_for_deletion() {
  nt::FileDispositionInfoEx posix{nt::kPosixDeleteFlags};
  if (::SetFileInformationByHandle(handle_.get(), nt::kFileDispositionInfoEx, &posix, sizeof posix)) return Done{};
  const DWORD error = ::GetLastError();
  if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_PARAMETER) {
    return Err{OsError{error}};
  }
  FILE_DISPOSITION_INFO classic{TRUE};
  if (::SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &classic, sizeof classic)) return Done{};
  return Err{OsError{::GetLastError()}};
}

}  // namespace tarnwick::clean

#include "engine/clean/win_file_system.hpp"

#include "engine/clean/entry_kind.hpp"
#include "engine/clean/nt_file_win.hpp"
#include "engine/clean/win_open_entry_win.hpp"
#include "engine/clean/win_system_path_win.hpp"
#include "engine/clean/windows_path.hpp"
#include "platform/win/unique_handle.hpp"
#include "platform/win/wide.hpp"

namespace tarnwick::clean {
namespace {

bool is_link(DWORD attributes, DWORD reparse_tag) {
  return entry_kind(attributes, reparse_tag) == EntryKind::link;
}

// A directory search takes wildcards in the last component: such a path
// could find some other entry, so it is never searched for itself.
bool has_wildcard_in_last_component(const std::wstring& path) {
  const auto last = path.find_last_of(L"\\/");
  return path.find_first_of(L"*?", last == std::wstring::npos ? 0 : last + 1) != std::wstring::npos;
}

bool found_and_not_a_link(const std::wstring& path) {
  if (has_wildcard_in_last_component(path)) return false;
  WIN32_FIND_DATAW data;
  const win::UniqueFind search(
      ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  return search.valid() && !is_link(data.dwFileAttributes, data.dwReserved0);
}

bool opens_as_itself_and_not_a_link(const std::wstring& path) {
  const win::UniqueFile entry(::CreateFileW(path.c_str(), 0, nt::share_all, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_ATTRIBUTE_TAG_INFO info{};
  return entry.valid() && ::GetFileInformationByHandleEx(entry.get(), FileAttributeTagInfo, &info, sizeof info) &&
         !is_link(info.FileAttributes, info.ReparseTag);
}

ListedEntry listed(const WIN32_FIND_DATAW& data) {
  const std::wstring_view name(data.cFileName);
  return ListedEntry{std::u16string(win::as_utf16(name)), data.dwFileAttributes,
                     (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.dwReserved0};
}

bool is_dot_or_dot_dot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Marks the entry itself for deletion, read-only or not; true when done.
bool posix_delete(const std::wstring& path) {
  const win::UniqueFile entry(::CreateFileW(path.c_str(), DELETE, nt::share_all, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!entry) return false;
  nt::FileDispositionInfoEx posix{nt::posix_delete_flags};
  return ::SetFileInformationByHandle(entry.get(), nt::file_disposition_info_ex, &posix, sizeof posix) != 0;
}

}  // namespace

bool WinFileSystem::is_present(std::u16string_view path) {
  const auto system = win_system_path(path);
  if (!system) return false;
  const std::wstring& handed = system.value();
  const win::UniqueFile entry(
      ::CreateFileW(handed.c_str(), 0, nt::share_all, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (entry) {
    BY_HANDLE_FILE_INFORMATION info;
    return ::GetFileInformationByHandle(entry.get(), &info) != 0;
  }
  switch (::GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return found_and_not_a_link(handed);
    case ERROR_CANT_ACCESS_FILE:
      return opens_as_itself_and_not_a_link(handed);
    default:
      return false;
  }
}

Result<Listing, FsError> WinFileSystem::list_folder(std::u16string_view path) {
  const auto pattern = win_system_path(join_path(path, u"*"));
  if (!pattern) return Err{pattern.error()};
  WIN32_FIND_DATAW data;
  const win::UniqueFind search(
      ::FindFirstFileExW(pattern.value().c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!search) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return Listing{};
    return Err{FsError{error}};
  }
  Listing listing;
  do {
    if (!is_dot_or_dot_dot(data.cFileName)) listing.entries.push_back(listed(data));
  } while (::FindNextFileW(search.get(), &data));
  if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES) listing.broke_off = FsError{error};
  return listing;
}

Result<Done, FsError> WinFileSystem::delete_file(std::u16string_view path) {
  const auto system = win_system_path(path);
  if (!system) return Err{system.error()};
  if (::DeleteFileW(system.value().c_str())) return Done{};
  const DWORD error = ::GetLastError();
  if (error == ERROR_ACCESS_DENIED && posix_delete(system.value())) return Done{};
  return Err{FsError{error}};
}

Result<std::unique_ptr<OpenEntry>, FsError> WinFileSystem::open_no_follow(std::u16string_view path) {
  const auto system = win_system_path(path);
  if (!system) return Err{system.error()};
  HANDLE handle = ::CreateFileW(system.value().c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, nt::share_all,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Err{FsError{::GetLastError()}};
  return std::unique_ptr<OpenEntry>(std::make_unique<WinOpenEntry>(win::UniqueKernelHandle(handle)));
}

void WinFileSystem::pause_before_retry() { ::SwitchToThread(); }

}  // namespace tarnwick::clean

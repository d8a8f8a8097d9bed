#include "client/run_base_win.hpp"

#include <sddl.h>
#include <winternl.h>

#include <vector>

#include "client/file_security_win.hpp"
#include "client/run_base.hpp"
#include "client/token_win.hpp"
#include "common/utf.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

std::string utf8(std::wstring_view text) { return utf16_to_utf8_lossy(win::as_utf16(text)); }

Err<ClientError> cannot_use(const std::wstring& path, const std::string& what, DWORD code) {
  return Err<ClientError>{
      ClientError{ErrorKind::LaunchFailed,
                  "cannot use " + utf8(path) + " for the run folder (" + what + "): " + win::os_error_text(code),
                  std::nullopt, code, 0}};
}

// What every folder on the way is opened for; the last one also to list it
// and make folders in it.
constexpr ACCESS_MASK kOnTheWay = READ_CONTROL | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kTheBase = kOnTheWay | FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY;
// Others keep every access: nobody but an administrator can rename or remove
// a folder that passes the check.
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder `name` inside the folder `parent`, as itself (a link opened as
// the link); made with `security` when `disposition` allows.
Result<win::UniqueFile, DWORD> open_folder_inside(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                                                  ULONG disposition, PSECURITY_DESCRIPTOR security) {
  UNICODE_STRING native_name{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.data())};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &native_name, OBJ_CASE_INSENSITIVE, parent, security);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      ::NtCreateFile(&opened, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll, disposition,
                     FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!NT_SUCCESS(status)) return Err{static_cast<DWORD>(::RtlNtStatusToDosError(status))};
  return win::UniqueFile(opened);
}

Result<bool, DWORD> is_reparse_point(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag))) return Err{::GetLastError()};
  return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// "C:\Windows", or "C:\" for a system installed in a drive's root.
Result<std::wstring, DWORD> system_windows_directory() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int tries = 0; tries < 2; ++tries) {
    const UINT length = ::GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return Err{::GetLastError()};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (path.size() == 2 && path[1] == L':') path.push_back(L'\\');
      return path;
    }
    buffer.resize(length + 1);  // the size it needs, its terminating NUL included
  }
  return Err{static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)};
}

}  // namespace

Outcome<OpenFolder> open_checked_folder(const std::wstring& full_path, bool allow_changeable,
                                        PSECURITY_DESCRIPTOR create_security) {
  const auto chain = path_and_folders_above(win::as_utf16(full_path));
  // A root "X:\" or "\\?\X:\": a drive, not a share.
  if (!chain || chain->size() < 2 || !chain->back().ends_with(u":\\")) {
    return client_error(ErrorKind::LaunchFailed,
                        "cannot use " + utf8(full_path) + " for the run folder: not a full path on a drive");
  }
  // From the root down; every folder stays open until the one below it is.
  std::vector<win::UniqueFile> held;
  std::vector<PathComponent> from_base_up;
  for (auto step = chain->rbegin(); step != chain->rend(); ++step) {
    const std::wstring path(win::as_wide(*step));
    const bool last = step + 1 == chain->rend();
    // Making the folder needs the right to add a folder to the one above.
    const bool above_made = create_security != nullptr && step + 2 == chain->rend();
    const ACCESS_MASK access = last ? kTheBase : (above_made ? kOnTheWay | FILE_ADD_SUBDIRECTORY : kOnTheWay);
    win::UniqueFile folder;
    if (held.empty()) {
      folder.reset(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (!folder) return cannot_use(full_path, "opening " + utf8(path), ::GetLastError());
    } else {
      const std::wstring_view name = std::wstring_view(path).substr(path.find_last_of(L'\\') + 1);
      const ULONG disposition = last && create_security != nullptr ? FILE_OPEN_IF : FILE_OPEN;
      auto opened = open_folder_inside(held.back().get(), name, access, disposition, create_security);
      if (!opened) return cannot_use(full_path, "opening " + utf8(path), opened.error());
      folder = std::move(opened).value();
    }
    const auto link = is_reparse_point(folder.get());
    if (!link) return cannot_use(full_path, "reading " + utf8(path), link.error());
    if (link.value()) {
      return client_error(ErrorKind::LaunchFailed, "cannot use " + utf8(full_path) + " for the run folder: " +
                                                       utf8(path) + " is a link or other reparse point");
    }
    if (!allow_changeable) {
      auto security = read_file_security(folder.get(), utf8(path), PathComponent::Role::Above);
      if (!security) return cannot_use(full_path, "reading the security of " + utf8(path), security.error());
      from_base_up.insert(from_base_up.begin(), std::move(security).value());
    }
    held.push_back(std::move(folder));
  }
  OpenFolder base{std::move(held.back()), full_path};
  if (allow_changeable) return base;

  DWORD flags = 0;
  if (!::GetVolumeInformationByHandleW(base.handle.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    return cannot_use(full_path, "reading its volume's properties", ::GetLastError());
  }
  const auto identity = unelevated_identity();
  if (!identity) return cannot_use(full_path, "reading this user's identity", ::GetLastError());
  const auto problem = find_run_base_problem(std::move(from_base_up), flags, *identity);
  if (!problem) return base;
  const std::string who = problem->found && !problem->found->sid.empty() ? account_name(problem->found->sid) : "";
  return client_error(ErrorKind::LaunchFailed,
                      "refusing to make the run folder of a helper with administrator rights in " + utf8(full_path) +
                          ": it could be changed without them (" +
                          describe_run_base_problem(*problem, utf8(full_path), who) +
                          "); only administrators may change it and every folder above it "
                          "(allow_replaceable_helper, or --allow-replaceable-helper, allows it for development)");
}

Outcome<OpenFolder> open_administrators_run_base(bool allow_changeable) {
  const auto windows = system_windows_directory();
  if (!windows) {
    return Err<ClientError>{ClientError{
        ErrorKind::LaunchFailed, "the system's Windows directory is unknown: " + win::os_error_text(windows.error()),
        std::nullopt, windows.error(), 0}};
  }
  std::wstring path = windows.value();
  if (path.back() != L'\\') path.push_back(L'\\');
  path += std::wstring(kRunBaseName.begin(), kRunBaseName.end());

  PSECURITY_DESCRIPTOR raw = nullptr;
  const std::wstring sddl(kAdministratorsOnlySddl.begin(), kAdministratorsOnlySddl.end());
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw, nullptr)) {
    return cannot_use(path, "making its access list", ::GetLastError());
  }
  auto opened = open_checked_folder(path, allow_changeable, raw);
  ::LocalFree(raw);
  return opened;
}

}  // namespace tarnwick::client

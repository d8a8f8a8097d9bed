#include "win/support/folder_tree.hpp"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::test {
namespace {

constexpr DWORD kReparseTagMountPoint = 0xA0000003;
constexpr DWORD kReparseTagSymlink = 0xA000000C;

// Whether `path` is a reparse point with `tag`, as a directory search sees it.
bool is_link_with_tag(const std::wstring& path, DWORD tag) {
  WIN32_FIND_DATAW data;
  const win::UniqueFind search(
      ::FindFirstFileExW(extended(path).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  return search.valid() && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && data.dwReserved0 == tag;
}

}  // namespace

std::wstring extended(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  return L"\\\\?\\" + path;
}

void make_folder(const std::wstring& path) {
  const std::wstring full = extended(path);
  // Each separator after the drive ends a parent to make first.
  for (std::size_t at = full.find(L'\\', 7); at != std::wstring::npos; at = full.find(L'\\', at + 1)) {
    ::CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
  }
  if (!::CreateDirectoryW(full.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot make a test folder");
  }
}

void make_file(const std::wstring& path, std::size_t size, DWORD attributes) {
  make_folder(path.substr(0, path.find_last_of(L'\\')));
  const win::UniqueFile file(
      ::CreateFileW(extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
  if (!file) throw std::runtime_error("cannot make a test file");
  const std::string bytes(size, 'x');
  DWORD written = 0;
  if (size != 0 &&
      (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(size), &written, nullptr) || written != size)) {
    throw std::runtime_error("cannot write a test file");
  }
}

bool entry_exists(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  const win::UniqueFind search(
      ::FindFirstFileExW(extended(path).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  return search.valid();
}

std::vector<std::wstring> entries_under(const std::wstring& folder) {
  std::vector<std::wstring> out;
  std::vector<std::wstring> pending{L""};
  while (!pending.empty()) {
    const std::wstring relative = std::move(pending.back());
    pending.pop_back();
    const std::wstring pattern = extended(folder) + (relative.empty() ? L"" : L"\\" + relative) + L"\\*";
    WIN32_FIND_DATAW data;
    const win::UniqueFind search(
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!search) continue;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
      out.push_back(path);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        pending.push_back(path);
      }
    } while (::FindNextFileW(search.get(), &data));
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool posix_delete_supported(const std::wstring& dir) {
  const std::wstring scratch = dir + L"\\posix-delete-probe";
  make_file(scratch, 0);
  bool supported = false;
  {
    const win::UniqueFile file(::CreateFileW(extended(scratch).c_str(), DELETE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    const DWORD flags = 0x13;  // delete, POSIX semantics, ignore the read-only attribute
    supported = file.valid() && ::SetFileInformationByHandle(file.get(), static_cast<FILE_INFO_BY_HANDLE_CLASS>(21),
                                                             const_cast<DWORD*>(&flags), sizeof flags);
  }
  if (!supported) ::DeleteFileW(extended(scratch).c_str());
  return supported;
}

bool running_under_wine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<std::string> make_junction(const std::wstring& link, const std::wstring& target) {
  if (!::CreateDirectoryW(extended(link).c_str(), nullptr)) return "cannot make the junction's folder";
  const win::UniqueFile folder(::CreateFileW(extended(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder) return "cannot open the junction's folder";
  // REPARSE_DATA_BUFFER, mount-point form: header, then the substitute name
  // (NT form) and the print name, each NUL-terminated.
  const std::wstring substitute = L"\\??\\" + target;
  const std::wstring& print = target;
  const std::size_t names_bytes = (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(8 + 8 + names_bytes, 0);
  const auto put16 = [&buffer](std::size_t at, std::size_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    std::memcpy(buffer.data() + at, &v, sizeof v);
  };
  const DWORD tag = kReparseTagMountPoint;
  std::memcpy(buffer.data(), &tag, sizeof tag);
  put16(4, 8 + names_bytes);                             // ReparseDataLength
  put16(8, 0);                                           // SubstituteNameOffset
  put16(10, substitute.size() * sizeof(wchar_t));        // SubstituteNameLength
  put16(12, (substitute.size() + 1) * sizeof(wchar_t));  // PrintNameOffset
  put16(14, print.size() * sizeof(wchar_t));             // PrintNameLength
  std::memcpy(buffer.data() + 16, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
  std::memcpy(buffer.data() + 16 + (substitute.size() + 1) * sizeof(wchar_t), print.c_str(),
              (print.size() + 1) * sizeof(wchar_t));
  DWORD returned = 0;
  if (!::DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                         nullptr, 0, &returned, nullptr)) {
    return "this platform cannot make junctions (FSCTL_SET_REPARSE_POINT failed with " +
           std::to_string(::GetLastError()) + ")";
  }
  if (!is_link_with_tag(link, kReparseTagMountPoint)) return "the junction made does not list as one";
  return std::nullopt;
}

std::optional<std::string> make_directory_symlink(const std::wstring& link, const std::wstring& target) {
  if (!::CreateSymbolicLinkW(extended(link).c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    return "this platform cannot make symbolic links (CreateSymbolicLinkW failed with " +
           std::to_string(::GetLastError()) + ")";
  }
  if (!is_link_with_tag(link, kReparseTagSymlink)) return "the symbolic link made does not list as one";
  return std::nullopt;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
  const DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (length != 0) {
    std::wstring saved(length, L'\0');
    saved.resize(::GetEnvironmentVariableW(name, saved.data(), length));
    saved_ = std::move(saved);
  }
  ::SetEnvironmentVariableW(name, value);
}

ScopedVariable::~ScopedVariable() { ::SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr); }

}  // namespace tarnwick::test

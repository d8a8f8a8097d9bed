#include "client/replaceable_helper_win.hpp"

#include <windows.h>

#include <vector>

#include "client/file_security_win.hpp"
#include "client/replaceable_helper.hpp"
#include "client/token_win.hpp"
#include "common/utf.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/system_text_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

std::string utf8(std::wstring_view text) { return utf16_to_utf8_lossy(win::as_utf16(text)); }

Err<ClientError> cannot_check(const std::wstring& what, DWORD code) {
  return Err<ClientError>{ClientError{
      ErrorKind::LaunchFailed,
      "cannot check who may replace the helper (" + utf8(what) + "): " + win::os_error_text(code), std::nullopt, code}};
}

// The owner and access list of one file or folder, read through a handle to
// it (a link read as the link itself).
Result<PathComponent, DWORD> read_component(const std::u16string& path, PathComponent::Role role) {
  const std::wstring wide(win::as_wide(path));
  const win::UniqueFile handle(
      ::CreateFileW(wide.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return Err{::GetLastError()};
  return read_file_security(handle.get(), utf8(wide), role);
}

// The path the file's links lead to, in its "\\?\" form; nullopt when it
// cannot be had.
std::optional<std::u16string> final_path(const std::wstring& path) {
  const win::UniqueFile handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::nullopt;
  auto text = win::read_system_text([&](wchar_t* buffer, DWORD units) -> DWORD {
    return ::GetFinalPathNameByHandleW(handle.get(), buffer, units, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
  if (!text) return std::nullopt;
  return std::move(text).value();
}

bool same_path(std::u16string_view a, std::u16string_view b) {
  if (b.starts_with(u"\\\\?\\") && !b.starts_with(u"\\\\?\\UNC\\")) b.remove_prefix(4);
  const std::wstring_view wa = win::as_wide(a), wb = win::as_wide(b);
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

Outcome<Done> refuse_replaceable_helper(const std::wstring& full_path) {
  const auto identity = unelevated_identity();
  if (!identity) return cannot_check(L"this user's identity", ::GetLastError());

  std::vector<std::u16string> paths{std::u16string(win::as_utf16(full_path))};
  if (const auto resolved = final_path(full_path); resolved && !same_path(paths[0], *resolved)) {
    paths.push_back(*resolved);
  }
  std::vector<PathComponent> components;
  for (const std::u16string& path : paths) {
    const auto chain = path_and_folders_above(path);
    if (!chain) {
      return client_error(ErrorKind::LaunchFailed, "cannot check who may replace the helper " +
                                                       utf16_to_utf8_lossy(path) +
                                                       ": not a full path on a drive or a network share");
    }
    for (std::size_t i = 0; i < chain->size(); ++i) {
      const auto role = i == 0 ? PathComponent::Role::Helper
                               : (i == 1 ? PathComponent::Role::HelperFolder : PathComponent::Role::Above);
      auto component = read_component((*chain)[i], role);
      if (!component) return cannot_check(std::wstring(win::as_wide((*chain)[i])), component.error());
      components.push_back(std::move(component).value());
    }
  }
  const auto found = find_replaceable(components, *identity);
  if (!found) return Done{};
  return client_error(ErrorKind::LaunchFailed,
                      "refusing to start the helper " + utf8(full_path) +
                          " with administrator rights: it could be replaced without them (" +
                          describe_replaceable(*found, found->sid.empty() ? "" : account_name(found->sid)) +
                          "); install it where only administrators can write (allow_replaceable_helper, or "
                          "--allow-replaceable-helper, allows it for development)");
}

}  // namespace tarnwick::client

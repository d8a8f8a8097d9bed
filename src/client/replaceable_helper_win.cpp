#include "client/replaceable_helper_win.hpp"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "client/replaceable_helper.hpp"
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

std::optional<std::vector<BYTE>> token_information(HANDLE token, TOKEN_INFORMATION_CLASS which) {
  DWORD size = 0;
  ::GetTokenInformation(token, which, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, which, buffer.data(), size, &size)) return std::nullopt;
  return buffer;
}

std::string sid_text(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return {};
  std::string out = utf8(text);
  ::LocalFree(text);
  return out;
}

// The token whose processes must not replace the helper: for an elevated
// process of a split-token administrator the unelevated token linked to it,
// otherwise this process's own.
std::optional<win::UniqueKernelHandle> identity_token() {
  win::UniqueKernelHandle own;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put())) return std::nullopt;
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  if (::GetTokenInformation(own.get(), TokenElevationType, &type, sizeof(type), &size) &&
      type == TokenElevationTypeFull) {
    TOKEN_LINKED_TOKEN linked{};
    if (!::GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof(linked), &size)) return std::nullopt;
    return win::UniqueKernelHandle(linked.LinkedToken);
  }
  return own;
}

std::optional<UserIdentity> read_identity() {
  const auto token = identity_token();
  if (!token) return std::nullopt;
  const auto user = token_information(token->get(), TokenUser);
  const auto groups = token_information(token->get(), TokenGroups);
  if (!user || !groups) return std::nullopt;
  UserIdentity identity;
  identity.user_sid = sid_text(reinterpret_cast<const TOKEN_USER*>(user->data())->User.Sid);
  const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups->data());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = list->Groups[i];
    if (group.Attributes & SE_GROUP_INTEGRITY) continue;
    if (group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) {
      identity.deny_only_groups.push_back(sid_text(group.Sid));
    } else if (group.Attributes & SE_GROUP_ENABLED) {
      identity.groups.push_back(sid_text(group.Sid));
    }
  }
  if (identity.user_sid.empty()) return std::nullopt;
  return identity;
}

// The owner and access list of one file or folder, read through a handle to
// it (a link read as the link itself).
Result<PathComponent, DWORD> read_component(const std::u16string& path, PathComponent::Role role) {
  const std::wstring wide(win::as_wide(path));
  const win::UniqueFile handle(
      ::CreateFileW(wide.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return Err{::GetLastError()};
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status =
      ::GetSecurityInfo(handle.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return Err{status};
  PathComponent component;
  component.role = role;
  component.path = utf8(wide);
  component.owner_sid = sid_text(owner);
  if (dacl != nullptr) {
    component.dacl.emplace();
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      void* raw = nullptr;
      if (!::GetAce(dacl, i, &raw)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(raw);
      AccessEntry entry;
      // A conditional allow may apply: count it. A conditional deny may not:
      // leave it out. Both have the layout of the plain entries.
      if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
        entry.kind = AccessEntry::Kind::Allow;
      } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
        entry.kind = AccessEntry::Kind::Deny;
      } else {
        continue;
      }
      const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
      entry.mask = ace->Mask;
      entry.sid = sid_text(const_cast<DWORD*>(&ace->SidStart));
      entry.inherit_only = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
      component.dacl->push_back(std::move(entry));
    }
  }
  ::LocalFree(descriptor);
  return component;
}

// "DOMAIN\name" for a SID, or the SID itself.
std::string account_name(const std::string& sid) {
  const auto wide = win::to_wide(sid);
  PSID binary = nullptr;
  if (!wide || !::ConvertStringSidToSidW(wide->c_str(), &binary)) return sid;
  wchar_t name[256];
  wchar_t domain[256];
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  const bool found = ::LookupAccountSidW(nullptr, binary, name, &name_size, domain, &domain_size, &use) != FALSE;
  ::LocalFree(binary);
  if (!found) return sid;
  return domain_size > 0 ? utf8(domain) + "\\" + utf8(name) : utf8(name);
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
  const auto identity = read_identity();
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

#include "client/token_win.hpp"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "common/utf.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

std::optional<std::vector<BYTE>> token_information(HANDLE token, TOKEN_INFORMATION_CLASS which) {
  DWORD size = 0;
  ::GetTokenInformation(token, which, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, which, buffer.data(), size, &size)) return std::nullopt;
  return buffer;
}

std::optional<std::wstring> sid_wide(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return std::nullopt;
  std::wstring out(text);
  ::LocalFree(text);
  return out;
}

std::string sid_text(PSID sid) {
  const auto wide = sid_wide(sid);
  return wide ? utf16_to_utf8_lossy(win::as_utf16(*wide)) : std::string();
}

// See unelevated_identity().
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

}  // namespace

bool process_is_elevated() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

bool process_is_administrator() {
  // S-1-5-32-544, built rather than parsed.
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators)) {
    return false;
  }
  // No token: the calling thread's, or a copy of the process's when the
  // thread impersonates nobody; counted only when enabled.
  BOOL member = FALSE;
  const bool checked = ::CheckTokenMembership(nullptr, administrators, &member) != FALSE;
  ::FreeSid(administrators);
  return checked && member != FALSE;
}

std::optional<std::wstring> process_user_sid() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
  const auto user = token_information(token.get(), TokenUser);
  if (!user) return std::nullopt;
  return sid_wide(reinterpret_cast<const TOKEN_USER*>(user->data())->User.Sid);
}

std::optional<UserIdentity> unelevated_identity() {
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

}  // namespace tarnwick::client

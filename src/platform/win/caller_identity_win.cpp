#include "platform/win/caller_identity_win.hpp"

#include <winternl.h>

#include <array>
#include <optional>

namespace tarnwick::win {
namespace {

UniqueKernelHandle to_impersonation_token(HANDLE token) {
  UniqueKernelHandle duplicate;
  if (!::DuplicateTokenEx(token, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation, TokenImpersonation,
                          duplicate.put())) {
    return {};
  }
  return duplicate;
}

// SeDebugPrivilege enabled in the helper's own token for the life of the
// object, then put back as it was. Lets an administrator open the token of a
// process that belongs to another account (a standard user who had an
// administrator approve the consent prompt).
class DebugPrivilege {
 public:
  DebugPrivilege() noexcept {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid)) return;
    DWORD size = sizeof(previous_);
    // Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
    if (::AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof(previous_), &previous_, &size) &&
        ::GetLastError() == ERROR_SUCCESS) {
      adjusted_ = true;
    }
  }
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;
  ~DebugPrivilege() {
    if (adjusted_) ::AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  }
  bool enabled() const noexcept { return adjusted_; }

 private:
  UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

// Runs `open` once; when it is denied, once more with SeDebugPrivilege held.
template <class Open>
UniqueKernelHandle open_allowing_debug_privilege(Open open) {
  UniqueKernelHandle handle = open();
  if (handle || ::GetLastError() != ERROR_ACCESS_DENIED) return handle;
  const DebugPrivilege privilege;
  if (!privilege.enabled()) return {};
  return open();
}

std::optional<ULONGLONG> creation_time(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The parent's token, when the process now holding the parent's id is still
// the one that started the helper: a parent that has exited may have its id
// reused by a newer process, which must not lend the helper its identity.
UniqueKernelHandle parent_token() {
  PROCESS_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(::NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic),
                                              nullptr))) {
    return {};
  }
  const auto parent_id = static_cast<DWORD>(basic.InheritedFromUniqueProcessId);
  if (parent_id == 0) return {};

  const UniqueKernelHandle parent = open_allowing_debug_privilege(
      [&] { return UniqueKernelHandle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent_id)); });
  if (!parent) return {};
  const auto parent_created = creation_time(parent.get());
  const auto own_created = creation_time(::GetCurrentProcess());
  if (!parent_created || !own_created || *parent_created >= *own_created) return {};

  const UniqueKernelHandle token = open_allowing_debug_privilege([&] {
    UniqueKernelHandle opened;
    if (!::OpenProcessToken(parent.get(), TOKEN_DUPLICATE | TOKEN_QUERY, opened.put())) return UniqueKernelHandle();
    return opened;
  });
  if (!token) return {};
  return to_impersonation_token(token.get());
}

std::optional<DWORD> integrity_rid(HANDLE token) {
  std::array<BYTE, sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE> buffer{};
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
    return std::nullopt;
  }
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  const DWORD count = *::GetSidSubAuthorityCount(label->Label.Sid);
  if (count == 0) return std::nullopt;
  return *::GetSidSubAuthority(label->Label.Sid, count - 1);
}

// The helper's own identity without what elevation added to it.
UniqueKernelHandle restricted_own_token() {
  UniqueKernelHandle own;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, own.put())) {
    return {};
  }
  std::array<BYTE, SECURITY_MAX_SID_SIZE> administrators{};
  DWORD sid_size = static_cast<DWORD>(administrators.size());
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators.data(), &sid_size)) return {};
  SID_AND_ATTRIBUTES deny_only{administrators.data(), 0};
  UniqueKernelHandle restricted;
  if (!::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &deny_only, 0, nullptr, 0, nullptr,
                               restricted.put())) {
    return {};
  }

  const auto rid = integrity_rid(restricted.get());
  if (!rid) return {};
  if (*rid > SECURITY_MANDATORY_MEDIUM_RID) {
    std::array<BYTE, SECURITY_MAX_SID_SIZE> medium{};
    sid_size = static_cast<DWORD>(medium.size());
    if (!::CreateWellKnownSid(WinMediumLabelSid, nullptr, medium.data(), &sid_size)) return {};
    TOKEN_MANDATORY_LABEL label{};
    label.Label.Sid = medium.data();
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    if (!::SetTokenInformation(restricted.get(), TokenIntegrityLevel, &label,
                               static_cast<DWORD>(sizeof(label) + ::GetLengthSid(medium.data())))) {
      return {};
    }
  }
  return to_impersonation_token(restricted.get());
}

}  // namespace

UniqueKernelHandle caller_impersonation_token() {
  if (UniqueKernelHandle token = parent_token()) return token;
  return restricted_own_token();
}

ThreadImpersonation::ThreadImpersonation(HANDLE token) noexcept
    : active_(token != nullptr && ::SetThreadToken(nullptr, token) != FALSE) {}

ThreadImpersonation::~ThreadImpersonation() {
  if (active_) ::RevertToSelf();
}

}  // namespace tarnwick::win

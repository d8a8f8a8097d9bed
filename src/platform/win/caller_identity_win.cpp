#include "platform/win/caller_identity_win.hpp"

#include <winternl.h>

#include "platform/win/nt_api_win.hpp"

namespace tarnwick::win {
namespace {

// SeDebugPrivilege enabled in the helper's own token for the life of the
// object, then put back as it was.
class DebugPrivilege {
 public:
  DebugPrivilege() noexcept {
    if (!NT_SUCCESS(::NtOpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put()))) {
      return;
    }
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = nt::kDebugPrivilege;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ULONG size = sizeof(previous_);
    // STATUS_NOT_ALL_ASSIGNED, a success status, when the token lacks it.
    adjusted_ = ::NtAdjustPrivilegesToken(token_.get(), FALSE, &wanted, sizeof(previous_), &previous_, &size) ==
                nt::kStatusSuccess;
  }
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;
  ~DebugPrivilege() {
    if (adjusted_) ::NtAdjustPrivilegesToken(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  }
  bool enabled() const noexcept { return adjusted_; }

 private:
  UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

// The thread's impersonation token: `token`, or none (nullptr) to revert.
bool set_thread_token(HANDLE token) {
  return NT_SUCCESS(::NtSetInformationThread(::GetCurrentThread(), ThreadImpersonationToken, &token, sizeof token));
}

// Runs `open` once; when it is denied, once more with SeDebugPrivilege held.
template <class Open>
UniqueKernelHandle open_allowing_debug_privilege(Open open) {
  UniqueKernelHandle handle = open();
  if (handle || ::GetLastError() != ERROR_ACCESS_DENIED) return handle;
  const DebugPrivilege privilege;
  if (!privilege.enabled()) return {};
  return open();
}

std::optional<std::uint64_t> creation_time(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
  return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

WinCallerSteps::~WinCallerSteps() {
  if (impersonating_) set_thread_token(nullptr);
}

std::uint32_t WinCallerSteps::parent_id() {
  PROCESS_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(::NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic),
                                              nullptr))) {
    return 0;
  }
  return static_cast<std::uint32_t>(basic.InheritedFromUniqueProcessId);
}

bool WinCallerSteps::open_parent(std::uint32_t id) {
  parent_ = open_allowing_debug_privilege(
      [&] { return UniqueKernelHandle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id)); });
  return static_cast<bool>(parent_);
}

std::optional<std::uint64_t> WinCallerSteps::parent_created() { return creation_time(parent_.get()); }

std::optional<std::uint64_t> WinCallerSteps::own_created() { return creation_time(::GetCurrentProcess()); }

bool WinCallerSteps::parent_running() { return ::WaitForSingleObject(parent_.get(), 0) == WAIT_TIMEOUT; }

bool WinCallerSteps::open_parent_token() {
  const UniqueKernelHandle token = open_allowing_debug_privilege([&] {
    UniqueKernelHandle opened;
    const NTSTATUS status = ::NtOpenProcessToken(parent_.get(), TOKEN_DUPLICATE | TOKEN_QUERY, opened.put());
    if (NT_SUCCESS(status)) return opened;
    ::SetLastError(::RtlNtStatusToDosError(status));
    return UniqueKernelHandle();
  });
  if (!token) return false;
  // An impersonation token at the impersonation level, as DuplicateTokenEx
  // makes it (static tracking, all privileges and groups as they are).
  SECURITY_QUALITY_OF_SERVICE quality{};
  quality.Length = sizeof quality;
  quality.ImpersonationLevel = SecurityImpersonation;
  quality.ContextTrackingMode = SECURITY_STATIC_TRACKING;
  quality.EffectiveOnly = FALSE;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, nullptr, 0, nullptr, nullptr);
  attributes.SecurityQualityOfService = &quality;
  return NT_SUCCESS(::NtDuplicateToken(token.get(), TOKEN_IMPERSONATE | TOKEN_QUERY, &attributes, FALSE,
                                       TokenImpersonation, token_.put()));
}

bool WinCallerSteps::impersonate() {
  impersonating_ = set_thread_token(token_.get());
  return impersonating_;
}

}  // namespace tarnwick::win

#include "client/drive_map_win.hpp"

#include <windows.h>
#include <winternl.h>

#include "client/helper_path.hpp"
#include "common/utf.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

// ntdll's object-manager calls: documented without an import library, so
// taken by name from ntdll, which every process has loaded.
using OpenSymbolicLink = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
using QuerySymbolicLink = NTSTATUS(NTAPI*)(HANDLE, PUNICODE_STRING, PULONG);

constexpr ACCESS_MASK kSymbolicLinkQuery = 0x0001;
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003AL);

template <class Function>
Function ntdll_function(const char* name) {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  // Through void(*)(): the one function pointer type any other converts to.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, name)));
}

// The target of "X:" as this process sees it: its logon's own definition
// first, then the machine's (QueryDosDeviceW gives the first string).
std::optional<std::u16string> seen_target(char16_t letter) {
  const wchar_t name[] = {static_cast<wchar_t>(letter), L':', L'\0'};
  std::wstring buffer(32768, L'\0');
  const DWORD length = ::QueryDosDeviceW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0) return std::nullopt;
  return std::u16string(win::as_utf16(std::wstring_view(buffer.c_str())));
}

DriveTargets targets_of(char16_t letter) {
  DriveTargets targets;
  targets.seen = seen_target(letter);
  const auto open = ntdll_function<OpenSymbolicLink>("NtOpenSymbolicLinkObject");
  const auto query = ntdll_function<QuerySymbolicLink>("NtQuerySymbolicLinkObject");
  if (open == nullptr || query == nullptr) return targets;  // global unknown: refused
  std::wstring name = L"\\GLOBAL??\\";
  name += static_cast<wchar_t>(letter);
  name += L':';
  UNICODE_STRING native_name{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(name.size() * sizeof(wchar_t)), name.data()};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &native_name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  win::UniqueKernelHandle link;
  const NTSTATUS opened = open(link.put(), kSymbolicLinkQuery, &attributes);
  if (opened == kObjectPathNotFound) {
    // No \GLOBAL?? directory at all: one map for everyone (Wine).
    targets.single_map = true;
    return targets;
  }
  if (!NT_SUCCESS(opened)) return targets;
  std::wstring buffer(32768, L'\0');
  UNICODE_STRING target{0, static_cast<USHORT>((buffer.size() - 1) * sizeof(wchar_t)), buffer.data()};
  ULONG returned = 0;
  if (!NT_SUCCESS(query(link.get(), &target, &returned))) return targets;
  targets.global = std::u16string(win::as_utf16(std::wstring_view(buffer.data(), target.Length / sizeof(wchar_t))));
  return targets;
}

}  // namespace

Outcome<Done> refuse_per_user_location(const std::wstring& full_path) {
  const auto why = refuse_helper_location(win::as_utf16(full_path), targets_of);
  if (!why) return Done{};
  return client_error(ErrorKind::LaunchFailed, "refusing to start the helper " +
                                                   utf16_to_utf8_lossy(win::as_utf16(full_path)) +
                                                   " with administrator rights: " + *why);
}

}  // namespace tarnwick::client

#pragma once

// The system's native calls (ntdll) for the registry and tokens, which the
// SDK's user-mode headers do not declare. The helper uses them in place of
// ADVAPI32's wrappers so that it loads no DLL beyond kernel32, msvcrt and
// ntdll: ADVAPI32 costs every start its own load and that of the libraries
// it pulls in. ADVAPI32 itself calls these; a failure's NTSTATUS maps to the
// same Win32 code through RtlNtStatusToDosError, as ADVAPI32 maps it.

#include <windows.h>
#include <winternl.h>

#include <cstddef>

namespace tarnwick::win::nt {

inline constexpr NTSTATUS kStatusSuccess = 0;
inline constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);
inline constexpr NTSTATUS kStatusNoMoreEntries = static_cast<NTSTATUS>(0x8000001A);
inline constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
inline constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);

// KEY_VALUE_INFORMATION_CLASS's KeyValueFullInformation.
inline constexpr int kKeyValueFullInformation = 1;

// What NtEnumerateValueKey gives for KeyValueFullInformation: the name
// follows the fixed part, the data lies at DataOffset from its start.
struct KeyValueFullInformation {
  ULONG title_index;
  ULONG type;
  ULONG data_offset;
  ULONG data_length;
  ULONG name_length;  // bytes
  // WCHAR name[name_length / 2] follows
};
inline constexpr std::size_t kKeyValueFullNameOffset = sizeof(KeyValueFullInformation);

// SeDebugPrivilege's LUID: SE_DEBUG_PRIVILEGE, fixed by the system.
inline constexpr LUID kDebugPrivilege{20, 0};

// A counted string over `text`, which must outlive it.
inline UNICODE_STRING counted(const wchar_t* text, std::size_t units) {
  UNICODE_STRING string;
  string.Buffer = const_cast<PWSTR>(text);
  string.Length = static_cast<USHORT>(units * sizeof(wchar_t));
  string.MaximumLength = string.Length;
  return string;
}

}  // namespace tarnwick::win::nt

extern "C" {
NTSTATUS NTAPI NtOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
NTSTATUS NTAPI NtCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG title_index,
                           PUNICODE_STRING class_name, ULONG options, PULONG disposition);
NTSTATUS NTAPI NtEnumerateValueKey(HANDLE key, ULONG index, int information_class, PVOID information, ULONG length,
                                   PULONG result_length);
NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG title_index, ULONG type, PVOID data, ULONG size);
NTSTATUS NTAPI NtOpenProcessToken(HANDLE process, ACCESS_MASK access, PHANDLE token);
NTSTATUS NTAPI NtAdjustPrivilegesToken(HANDLE token, BOOLEAN disable_all, PTOKEN_PRIVILEGES new_state,
                                       ULONG buffer_length, PTOKEN_PRIVILEGES previous_state, PULONG return_length);
NTSTATUS NTAPI NtDuplicateToken(HANDLE token, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, BOOLEAN effective_only,
                                TOKEN_TYPE type, PHANDLE new_token);
NTSTATUS NTAPI NtSetInformationThread(HANDLE thread, THREADINFOCLASS information_class, PVOID information,
                                      ULONG length);
}

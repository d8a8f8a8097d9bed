#pragma once

// The machine-wide Run and StartupApproved\Run keys of the test prefix, which
// the registry tests own: each test clears them first and builds what it needs.
// Only with the opt-in (win/support/machine_state.hpp): without it every
// function here that writes throws.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::test {

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kApprovedKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// Deletes both keys with everything in them, then creates an empty Run key.
void reset_startup_keys();
// reset_startup_keys, then the two Run entries the exe tests act on:
// "Alpha" (REG_EXPAND_SZ "%ProgramFiles%\a.exe") and "Tool" (REG_SZ
// "C:\Tools\tool.exe /quiet"), both without StartupApproved state.
void reset_to_alpha_and_tool();
// Deletes the Run key (for the case of a machine without one).
void delete_run_key();

// Sets a value of any type and data through RegSetValueExW (NUL-terminated name).
void put_value(const wchar_t* key_path, const std::wstring& name, DWORD type, std::string_view data);
// Sets a Run value whose name may hold U+0000, through the native API.
void put_run_value_counted(std::wstring_view name, DWORD type, std::string_view data);

struct StoredValue {
  DWORD type = REG_NONE;
  std::string data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};
// The StartupApproved value as stored; nullopt when it (or the key) is missing.
std::optional<StoredValue> approved_value_stored(const std::wstring& name);
bool approved_key_exists();

// Little-endian UTF-16 bytes of a text (NULs included as written).
std::string utf16_bytes(std::wstring_view text);

}  // namespace tarnwick::test

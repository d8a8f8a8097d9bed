#include "win/support/startup_keys.hpp"

#include <winternl.h>

#include <stdexcept>
#include <vector>

#include "platform/win/unique_handle_win.hpp"
#include "win/support/machine_state.hpp"

extern "C" NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG title_index, ULONG type, PVOID data,
                                        ULONG data_size);

namespace tarnwick::test {
namespace {

void check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

void delete_tree(const wchar_t* path) {
  require_machine_state();
  const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
  if (status != ERROR_FILE_NOT_FOUND) check(status, "RegDeleteTreeW");
}

win::UniqueKey create_key(const wchar_t* path) {
  require_machine_state();
  HKEY raw = nullptr;
  check(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
        "RegCreateKeyExW");
  return win::UniqueKey(raw);
}

}  // namespace

void reset_startup_keys() {
  delete_tree(kRunKeyPath);
  delete_tree(kApprovedKeyPath);
  create_key(kRunKeyPath);
}

void reset_to_alpha_and_tool() {
  reset_startup_keys();
  put_value(kRunKeyPath, L"Alpha", REG_EXPAND_SZ, utf16_bytes(L"%ProgramFiles%\\a.exe"));
  put_value(kRunKeyPath, L"Tool", REG_SZ, utf16_bytes(L"C:\\Tools\\tool.exe /quiet"));
}

void delete_run_key() { delete_tree(kRunKeyPath); }

void put_value(const wchar_t* key_path, const std::wstring& name, DWORD type, std::string_view data) {
  const win::UniqueKey key = create_key(key_path);
  check(::RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size())),
        "RegSetValueExW");
}

void put_run_value_counted(std::wstring_view name, DWORD type, std::string_view data) {
  const win::UniqueKey key = create_key(kRunKeyPath);
  UNICODE_STRING counted;
  counted.Buffer = const_cast<wchar_t*>(name.data());
  counted.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  counted.MaximumLength = counted.Length;
  const NTSTATUS status =
      NtSetValueKey(key.get(), &counted, 0, type, const_cast<char*>(data.data()), static_cast<ULONG>(data.size()));
  if (status != 0) throw std::runtime_error("NtSetValueKey failed: " + std::to_string(status));
}

std::optional<StoredValue> approved_value_stored(const std::wstring& name) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApprovedKeyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::nullopt;
  const win::UniqueKey key(raw);
  StoredValue value;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  check(::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()),
                           &size),
        "RegQueryValueExW");
  value.data.resize(size);
  return value;
}

bool approved_key_exists() {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApprovedKeyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  ::RegCloseKey(raw);
  return true;
}

std::string utf16_bytes(std::wstring_view text) {
  std::string bytes;
  for (const wchar_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
  return bytes;
}

}  // namespace tarnwick::test

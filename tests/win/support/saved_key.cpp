#include "win/support/saved_key.hpp"

#include <sddl.h>

#include <stdexcept>

#include "platform/win/unique_handle_win.hpp"
#include "win/support/ascii_text.hpp"

namespace tarnwick::test {
namespace {

constexpr SECURITY_INFORMATION kSecurityParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::vector<BYTE> read_security(HKEY key) {
  DWORD size = 0;
  ::RegGetKeySecurity(key, kSecurityParts, nullptr, &size);
  std::vector<BYTE> security(size);
  if (size == 0 || ::RegGetKeySecurity(key, kSecurityParts, security.data(), &size) != ERROR_SUCCESS) return {};
  security.resize(size);
  return security;
}

// Enables or disables SeRestorePrivilege in the process token: it lets an
// administrator give a key back an owner other than itself (SYSTEM,
// TrustedInstaller).
bool allow_any_owner(bool allow) {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = allow ? SE_PRIVILEGE_ENABLED : 0;
  if (!::LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &privileges.Privileges[0].Luid)) return false;
  return ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

bool write_security(HKEY key, const std::vector<BYTE>& security) {
  if (security.empty()) return false;
  auto* descriptor = const_cast<BYTE*>(security.data());
  LSTATUS status = ::RegSetKeySecurity(key, kSecurityParts, descriptor);
  if (status == ERROR_INVALID_OWNER && allow_any_owner(true)) {
    status = ::RegSetKeySecurity(key, kSecurityParts, descriptor);
    allow_any_owner(false);
  }
  return status == ERROR_SUCCESS;
}

}  // namespace

SavedKey save_key(HKEY root, const wchar_t* path) {
  win::UniqueKey key;
  const LSTATUS opened = ::RegOpenKeyExW(root, path, 0, KEY_READ, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return {};
  if (opened != ERROR_SUCCESS) throw std::runtime_error("cannot open " + narrow(path) + " to save it");
  DWORD subkeys = 0, values = 0, max_name = 0, max_data = 0;
  LSTATUS status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                      &max_name, &max_data, nullptr, nullptr);
  SavedKey saved;
  saved.present = true;
  for (DWORD i = 0; status == ERROR_SUCCESS && i < values; ++i) {
    std::wstring name(max_name + 1, L'\0');
    std::vector<BYTE> data(max_data);
    DWORD name_length = max_name + 1;
    DWORD data_size = max_data;
    DWORD type = REG_NONE;
    status = ::RegEnumValueW(key.get(), i, name.data(), &name_length, nullptr, &type, data.data(), &data_size);
    name.resize(name_length);
    data.resize(data_size);
    saved.values.push_back({name, type, data});
  }
  if (status != ERROR_SUCCESS) throw std::runtime_error("cannot read the values of " + narrow(path));
  if (subkeys != 0) throw std::runtime_error(narrow(path) + " has subkeys, which these tests could not put back");
  saved.security = read_security(key.get());
  if (saved.security.empty()) throw std::runtime_error("cannot read the security of " + narrow(path));
  return saved;
}

bool restore_key(HKEY root, const wchar_t* path, const SavedKey& saved) {
  if (!saved.present) {
    const LSTATUS status = ::RegDeleteTreeW(root, path);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  win::UniqueKey key;
  if (::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool ok = ::RegDeleteTreeW(key.get(), nullptr) == ERROR_SUCCESS;  // the values and subkeys the tests made
  for (const SavedValue& value : saved.values) {
    ok = ::RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS &&
         ok;
  }
  // Last: the saved DACL may not let this process write values.
  return write_security(key.get(), saved.security) && ok;
}

std::wstring security_text(const std::vector<BYTE>& security) {
  if (security.empty()) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(const_cast<BYTE*>(security.data()), SDDL_REVISION_1,
                                                              kSecurityParts, &text, nullptr)) {
    return {};
  }
  std::wstring copy(text);
  ::LocalFree(text);
  return copy;
}

std::wstring key_security_text(HKEY root, const wchar_t* path) {
  win::UniqueKey key;
  if (::RegOpenKeyExW(root, path, 0, READ_CONTROL, key.put()) != ERROR_SUCCESS) return {};
  return security_text(read_security(key.get()));
}

}  // namespace tarnwick::test

#include <windows.h>

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "common/utf.hpp"
#include "platform/growing_buffer.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"
#include "startup/registry_value_text.hpp"
#include "startup/registry_hklm_win.hpp"

// KEY_WOW64_64KEY below names the 64-bit view for every caller, but a 32-bit
// process would still be redirected elsewhere (System32, for one): the helper
// is a 64-bit program only.
static_assert(sizeof(void*) == 8, "tarnwick-helper must be built as a 64-bit Windows program");

extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR unit);  // ntdll

namespace tarnwick {
namespace {

using win::UniqueKey;

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// A value name has at most 16,383 units; this holds it with its NUL and more,
// so that ERROR_MORE_DATA can only ever be about the data.
constexpr DWORD kLongestNameUnits = 16384 + 1;
constexpr DWORD kInitialDataBytes = 2048;
// Each ERROR_MORE_DATA retry grows the data buffer; a value rewritten ever
// larger while it is read cannot keep the reads going past this.
constexpr int kReadAttempts = 8;

// The registry finds a value name by upcasing each UTF-16 unit with the
// system's table; so does the listing.
char16_t system_upcase(char16_t unit) {
  return static_cast<char16_t>(::RtlUpcaseUnicodeChar(static_cast<WCHAR>(unit)));
}

Err<OsError> os_error(LSTATUS code) { return Err{OsError{static_cast<std::uint32_t>(code)}}; }

// The size a registry read asks for when it ends in ERROR_MORE_DATA, as
// fill_growing takes it: 0 once it ended otherwise.
std::size_t size_wanted(LSTATUS status, DWORD reported_size) { return status == ERROR_MORE_DATA ? reported_size : 0; }

// Each key is opened with the one right its use needs, always in the 64-bit
// registry view, whatever the process or the caller.
constexpr REGSAM kReadValues = KEY_QUERY_VALUE | KEY_WOW64_64KEY;  // RegEnumValueW, RegQueryValueExW
constexpr REGSAM kWriteValue = KEY_SET_VALUE | KEY_WOW64_64KEY;    // RegSetValueExW

// Opens a key under HKEY_LOCAL_MACHINE (the root itself is never closed).
LSTATUS open_key(const wchar_t* path, REGSAM access, UniqueKey& key) {
  HKEY raw = nullptr;
  const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, &raw);
  if (status == ERROR_SUCCESS) key.reset(raw);
  return status;
}

// A name handed to the API as a NUL-terminated string. A name holding U+0000
// would reach another value (the one named by its part before the NUL), so it
// has no such form; neither has text that is not UTF-8.
std::optional<std::wstring> api_value_name(const std::string& name) {
  if (name.find('\0') != std::string::npos) return std::nullopt;
  return win::to_wide(name);
}

// Buffers of one enumeration, reused from index to index.
struct EnumBuffers {
  std::vector<wchar_t> name = std::vector<wchar_t>(kLongestNameUnits);
  std::vector<BYTE> data = std::vector<BYTE>(kInitialDataBytes);
  DWORD name_length = 0;
  DWORD data_length = 0;
  DWORD type = 0;
};

// RegEnumValueW for one index. The name buffer holds any name, so the data
// buffer grows to the size reported with ERROR_MORE_DATA. When it cannot
// grow, or after kReadAttempts calls, the code is returned as it is.
LSTATUS enumerate_value(HKEY key, DWORD index, EnumBuffers& buffers) {
  LSTATUS status = ERROR_MORE_DATA;
  win::fill_growing(buffers.data, kReadAttempts, [&](std::vector<BYTE>& data) {
    buffers.name_length = static_cast<DWORD>(buffers.name.size());
    buffers.data_length = static_cast<DWORD>(data.size());
    status = ::RegEnumValueW(key, index, buffers.name.data(), &buffers.name_length, nullptr, &buffers.type, data.data(),
                             &buffers.data_length);
    return size_wanted(status, buffers.data_length);
  });
  return status;
}

}  // namespace

Result<std::vector<RunValue>, OsError> WinRegistryHklm::run_values(StartupScope /*always HKLM*/) {
  UniqueKey key;
  if (const LSTATUS status = open_key(kRunKey, kReadValues, key); status != ERROR_SUCCESS) return os_error(status);

  std::vector<RunValue> values;
  EnumBuffers buffers;
  for (DWORD index = 0;; ++index) {
    const LSTATUS status = enumerate_value(key.get(), index, buffers);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return os_error(status);

    const std::size_t name_units = std::min<std::size_t>(buffers.name_length, buffers.name.size());
    auto name = utf16_to_utf8(win::as_utf16(std::wstring_view(buffers.name.data(), name_units)));
    if (!name) return os_error(ERROR_INVALID_DATA);

    const std::size_t data_bytes = std::min<std::size_t>(buffers.data_length, buffers.data.size());
    auto command = registry_value_text(buffers.type, std::span<const std::uint8_t>(buffers.data.data(), data_bytes));
    if (!command) return os_error(ERROR_BAD_FILE_TYPE);

    values.emplace_back(std::move(*name), std::move(*command));
  }
  return values;
}

Result<ApprovedStates, OsError> WinRegistryHklm::approved_values(StartupScope /*always HKLM*/) {
  ApprovedStates states(system_upcase);
  UniqueKey key;
  if (open_key(kApprovedKey, kReadValues, key) != ERROR_SUCCESS) return states;  // no states: all enabled

  // One enumeration, its buffers made once. A value that cannot be read
  // whole, or whose type is above REG_QWORD, has no state; an enumeration
  // that fails otherwise (the key deleted meanwhile) ends with what it read.
  EnumBuffers buffers;
  for (DWORD index = 0;; ++index) {
    const LSTATUS status = enumerate_value(key.get(), index, buffers);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (buffers.type > REG_QWORD) continue;
    const std::size_t name_units = std::min<std::size_t>(buffers.name_length, buffers.name.size());
    const std::size_t data_bytes = std::min<std::size_t>(buffers.data_length, buffers.data.size());
    states.add(win::as_utf16(std::wstring_view(buffers.name.data(), name_units)),
               Bytes(buffers.data.begin(), buffers.data.begin() + static_cast<std::ptrdiff_t>(data_bytes)));
  }
  return states;
}

Result<Done, OsError> WinRegistryHklm::set_approved_value(StartupScope /*always HKLM*/, const std::string& name,
                                                          const Bytes& bytes) {
  const auto value_name = api_value_name(name);
  if (!value_name) return os_error(ERROR_INVALID_PARAMETER);
  if (bytes.size() > MAXDWORD) return os_error(ERROR_INVALID_PARAMETER);

  HKEY raw = nullptr;
  const LSTATUS created = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kApprovedKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            kWriteValue, nullptr, &raw, nullptr);
  if (created != ERROR_SUCCESS) return os_error(created);
  const UniqueKey key(raw);

  const LSTATUS written =
      ::RegSetValueExW(key.get(), value_name->c_str(), 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (written != ERROR_SUCCESS) return os_error(written);
  return Done{};
}

}  // namespace tarnwick

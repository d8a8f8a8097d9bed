#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "common/utf.hpp"
#include "platform/growing_buffer.hpp"
#include "platform/win/nt_api_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"
#include "startup/registry_value_text.hpp"
#include "startup/registry_hklm_win.hpp"

// The native paths below are the 64-bit registry view for a 64-bit process:
// the registry redirector (the WOW6432Node keys) and KEY_WOW64_64KEY, which
// only ADVAPI32's Reg* functions read, belong to 32-bit processes under
// WOW64. The helper is a 64-bit program only, so it sees the 64-bit keys
// and the real System32.
static_assert(sizeof(void*) == 8, "tarnwick-helper must be built as a 64-bit Windows program");

extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR unit);  // ntdll

// The keys are read and written through the native registry calls of ntdll,
// which ADVAPI32's Reg* functions wrap: the helper then loads no ADVAPI32.
// Paths are the native ones (HKEY_LOCAL_MACHINE is \Registry\Machine); an
// NTSTATUS becomes the Win32 code the Reg* function would have returned.

namespace tarnwick {
namespace {

namespace nt = win::nt;
using win::UniqueKernelHandle;

constexpr std::wstring_view kSoftware = L"\\Registry\\Machine\\Software";
constexpr std::wstring_view kRunKey = L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view kApprovedKey =
    L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// kApprovedKey's parts below kSoftware, created one by one when missing.
constexpr std::array<std::wstring_view, 6> kApprovedKeyParts = {L"Microsoft", L"Windows",         L"CurrentVersion",
                                                                L"Explorer",  L"StartupApproved", L"Run"};

// A value name has at most 16,383 units. The first read of an index has room
// for the fixed part, any name and this much data; a read that ends in
// STATUS_BUFFER_OVERFLOW grows the buffer to the size it reports.
constexpr std::size_t kInitialBytes = nt::kKeyValueFullNameOffset + 16384 * sizeof(wchar_t) + 2048;
// A value rewritten ever larger while it is read cannot keep the reads going
// past this many attempts.
constexpr int kReadAttempts = 8;

// The registry finds a value name by upcasing each UTF-16 unit with the
// system's table; so does the listing.
char16_t system_upcase(char16_t unit) {
  return static_cast<char16_t>(::RtlUpcaseUnicodeChar(static_cast<WCHAR>(unit)));
}

Err<OsError> os_error(DWORD code) { return Err{OsError{static_cast<std::uint32_t>(code)}}; }
Err<OsError> os_error_of(NTSTATUS status) { return os_error(::RtlNtStatusToDosError(status)); }

// Each key is opened with the one right its use needs.
constexpr ACCESS_MASK kReadValues = KEY_QUERY_VALUE;  // NtEnumerateValueKey
constexpr ACCESS_MASK kWriteValue = KEY_SET_VALUE;    // NtSetValueKey
constexpr ACCESS_MASK kAddSubkey = KEY_CREATE_SUB_KEY;

OBJECT_ATTRIBUTES key_attributes(UNICODE_STRING& name, HANDLE root) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, root, nullptr);
  return attributes;
}

// Opens the key at a full native path.
NTSTATUS open_key(std::wstring_view path, ACCESS_MASK access, UniqueKernelHandle& key) {
  UNICODE_STRING name = nt::counted(path.data(), path.size());
  OBJECT_ATTRIBUTES attributes = key_attributes(name, nullptr);
  return ::NtOpenKey(key.put(), access, &attributes);
}

// Opens the key at `path` under `root` (or at a full path, root null), creating
// it when it is missing, as a non-volatile key.
NTSTATUS create_key(HANDLE root, std::wstring_view path, ACCESS_MASK access, UniqueKernelHandle& key) {
  UNICODE_STRING name = nt::counted(path.data(), path.size());
  OBJECT_ATTRIBUTES attributes = key_attributes(name, root);
  return ::NtCreateKey(key.put(), access, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE, nullptr);
}

// The StartupApproved\Run key opened to write a value, created with the keys
// above it when they are missing (as RegCreateKeyExW does).
NTSTATUS create_approved_key(UniqueKernelHandle& key) {
  NTSTATUS status = create_key(nullptr, kApprovedKey, kWriteValue, key);
  if (status != nt::kStatusObjectNameNotFound) return status;
  UniqueKernelHandle parent;
  if (status = open_key(kSoftware, kAddSubkey, parent); !NT_SUCCESS(status)) return status;
  for (std::size_t part = 0; part < kApprovedKeyParts.size(); ++part) {
    const bool last = part + 1 == kApprovedKeyParts.size();
    UniqueKernelHandle child;
    status = create_key(parent.get(), kApprovedKeyParts[part], last ? kWriteValue : kAddSubkey, child);
    if (!NT_SUCCESS(status)) return status;
    parent = std::move(child);
  }
  key = std::move(parent);
  return status;
}

// A name handed to the API as a NUL-terminated string. A name holding U+0000
// would reach another value (the one named by its part before the NUL), so it
// has no such form; neither has text that is not UTF-8.
std::optional<std::wstring> api_value_name(const std::string& name) {
  if (name.find('\0') != std::string::npos) return std::nullopt;
  return win::to_wide(name);
}

// One value as an enumeration gives it; the views point into the buffer.
struct EnumeratedValue {
  std::wstring_view name;
  std::span<const std::uint8_t> data;
  DWORD type = 0;
};

// The buffer of one enumeration, reused from index to index; 8-byte aligned.
class EnumBuffer {
 public:
  // NtEnumerateValueKey for one index, the buffer grown to the size a
  // STATUS_BUFFER_OVERFLOW or STATUS_BUFFER_TOO_SMALL reports. When it
  // cannot grow, or after kReadAttempts calls, the status is returned as it is.
  NTSTATUS read(HANDLE key, ULONG index) {
    NTSTATUS status = nt::kStatusBufferOverflow;
    win::fill_growing(storage_, kReadAttempts, [&](std::vector<std::uint64_t>& storage) -> std::size_t {
      const ULONG capacity = static_cast<ULONG>(storage.size() * sizeof(std::uint64_t));
      result_bytes_ = 0;
      status =
          ::NtEnumerateValueKey(key, index, nt::kKeyValueFullInformation, storage.data(), capacity, &result_bytes_);
      if (status != nt::kStatusBufferOverflow && status != nt::kStatusBufferTooSmall) return 0;
      return (std::size_t{result_bytes_} + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
    });
    return status;
  }

  // The value the last successful read gave; nullopt when the system's
  // record does not fit in what it wrote.
  std::optional<EnumeratedValue> value() const {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(storage_.data());
    const std::size_t written = std::min<std::size_t>(result_bytes_, storage_.size() * sizeof(std::uint64_t));
    if (written < nt::kKeyValueFullNameOffset) return std::nullopt;
    nt::KeyValueFullInformation fixed{};
    std::memcpy(&fixed, bytes, sizeof fixed);
    const std::size_t name_end = nt::kKeyValueFullNameOffset + std::size_t{fixed.name_length};
    const std::size_t data_end = std::size_t{fixed.data_offset} + fixed.data_length;
    if (name_end > written || fixed.name_length % sizeof(wchar_t) != 0) return std::nullopt;
    if (fixed.data_length != 0 && (fixed.data_offset < name_end || data_end > written)) return std::nullopt;
    EnumeratedValue value;
    value.name = std::wstring_view(reinterpret_cast<const wchar_t*>(bytes + nt::kKeyValueFullNameOffset),
                                   fixed.name_length / sizeof(wchar_t));
    if (fixed.data_length != 0)
      value.data = std::span<const std::uint8_t>(bytes + fixed.data_offset, fixed.data_length);
    value.type = fixed.type;
    return value;
  }

 private:
  std::vector<std::uint64_t> storage_ = std::vector<std::uint64_t>(kInitialBytes / sizeof(std::uint64_t) + 1);
  ULONG result_bytes_ = 0;
};

}  // namespace

Result<std::vector<RunValue>, OsError> WinRegistryHklm::run_values(StartupScope /*always HKLM*/) {
  UniqueKernelHandle key;
  if (const NTSTATUS status = open_key(kRunKey, kReadValues, key); !NT_SUCCESS(status)) return os_error_of(status);

  std::vector<RunValue> values;
  EnumBuffer buffer;
  for (ULONG index = 0;; ++index) {
    const NTSTATUS status = buffer.read(key.get(), index);
    if (status == nt::kStatusNoMoreEntries) break;
    if (status != nt::kStatusSuccess) return os_error_of(status);
    const auto value = buffer.value();
    if (!value) return os_error(ERROR_INVALID_DATA);

    auto name = utf16_to_utf8(win::as_utf16(value->name));
    if (!name) return os_error(ERROR_INVALID_DATA);
    auto command = registry_value_text(value->type, value->data);
    if (!command) return os_error(ERROR_BAD_FILE_TYPE);

    values.emplace_back(std::move(*name), std::move(*command));
  }
  return values;
}

Result<ApprovedStates, OsError> WinRegistryHklm::approved_values(StartupScope /*always HKLM*/) {
  ApprovedStates states(system_upcase);
  UniqueKernelHandle key;
  if (!NT_SUCCESS(open_key(kApprovedKey, kReadValues, key))) return states;  // no states: all enabled

  // One enumeration, its buffer made once. A value that cannot be read
  // whole, or whose type is above REG_QWORD, has no state; an enumeration
  // that fails otherwise (the key deleted meanwhile) ends with what it read.
  EnumBuffer buffer;
  for (ULONG index = 0;; ++index) {
    const NTSTATUS status = buffer.read(key.get(), index);
    if (status == nt::kStatusBufferOverflow || status == nt::kStatusBufferTooSmall) continue;
    if (status != nt::kStatusSuccess) break;
    const auto value = buffer.value();
    if (!value || value->type > REG_QWORD) continue;
    states.add(win::as_utf16(value->name), Bytes(value->data.begin(), value->data.end()));
  }
  return states;
}

Result<Done, OsError> WinRegistryHklm::set_approved_value(StartupScope /*always HKLM*/, const std::string& name,
                                                          const Bytes& bytes) {
  const auto value_name = api_value_name(name);
  if (!value_name) return os_error(ERROR_INVALID_PARAMETER);
  if (bytes.size() > MAXDWORD || value_name->size() > 16383) return os_error(ERROR_INVALID_PARAMETER);

  UniqueKernelHandle key;
  if (const NTSTATUS status = create_approved_key(key); !NT_SUCCESS(status)) return os_error_of(status);

  UNICODE_STRING counted_name = nt::counted(value_name->c_str(), value_name->size());
  const NTSTATUS written = ::NtSetValueKey(key.get(), &counted_name, 0, REG_BINARY,
                                           const_cast<std::uint8_t*>(bytes.data()), static_cast<ULONG>(bytes.size()));
  if (!NT_SUCCESS(written)) return os_error_of(written);
  return Done{};
}

}  // namespace tarnwick

#include <windows.h>

#include <string_view>

#include "platform/win/os_error_text_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::win {

std::string os_error_text(std::uint32_t code) {
  constexpr DWORD kFacilityNtBit = 0x10000000;
  constexpr DWORD kBufferUnits = 2048;

  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD message_id = code;
  HMODULE module = nullptr;
  // NTSTATUS values carried as Win32 codes: their texts are in NTDLL's table.
  if ((code & kFacilityNtBit) != 0) {
    module = ::GetModuleHandleW(L"NTDLL.DLL");
    if (module != nullptr) {
      message_id = code & ~kFacilityNtBit;
      flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
  }

  wchar_t buffer[kBufferUnits];
  const DWORD length = ::FormatMessageW(flags, module, message_id, 0, buffer, kBufferUnits, nullptr);
  if (length == 0) return compose_os_error_text(code, Err{static_cast<std::uint32_t>(::GetLastError())});
  return compose_os_error_text(code, std::u16string(as_utf16(std::wstring_view(buffer, length))));
}

std::string describe_os_error(OsError error) { return os_error_text(error.code); }

}  // namespace tarnwick::win

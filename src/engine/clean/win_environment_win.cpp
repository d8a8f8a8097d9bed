#include "engine/clean/win_environment.hpp"

#include <windows.h>

#include "platform/win/wide.hpp"

namespace tarnwick::clean {

std::optional<std::u16string> WinEnvironment::variable(std::u16string_view name) const {
  const std::wstring wide_name(win::as_wide(name));
  std::wstring value(256, L'\0');
  // The value may grow between the call that sizes it and the next.
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      // 0 is both "not set" and "set to an empty value".
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::u16string();
    }
    if (length < value.size()) {
      value.resize(length);
      return std::u16string(win::as_utf16(value));
    }
    value.resize(length);
  }
}

}  // namespace tarnwick::clean

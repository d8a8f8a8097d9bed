#include "engine/clean/windows_directory_win.hpp"

#include <windows.h>

#include "platform/win/wide.hpp"

namespace tarnwick::clean {

Result<std::u16string, std::uint32_t> system_windows_directory() {
  std::wstring buffer(MAX_PATH, L'\0');
  // The length fits after one call that gives the size; two more are a margin.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const UINT length = ::GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return Err{static_cast<std::uint32_t>(::GetLastError())};
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::u16string(win::as_utf16(buffer));
    }
    buffer.resize(length);  // the size needed, its NUL included
  }
  return Err{static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER)};
}

}  // namespace tarnwick::clean

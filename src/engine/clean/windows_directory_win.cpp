#include "engine/clean/windows_directory_win.hpp"

#include <windows.h>

#include "platform/win/system_text_win.hpp"

namespace tarnwick::clean {

Result<std::u16string, OsError> system_windows_directory() {
  return win::read_system_text(
      [](wchar_t* buffer, DWORD units) -> DWORD { return ::GetSystemWindowsDirectoryW(buffer, units); });
}

}  // namespace tarnwick::clean

#include "engine/clean/system_path_win.hpp"

#include <windows.h>

#include "engine/clean/system_path.hpp"
#include "platform/win/system_text_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::clean {
namespace {

Result<std::u16string, OsError> full_path_name(std::u16string_view path) {
  const std::wstring input(win::as_wide(path));
  return win::read_system_text(
      [&](wchar_t* buffer, DWORD units) -> DWORD { return ::GetFullPathNameW(input.c_str(), units, buffer, nullptr); });
}

}  // namespace

Result<std::wstring, OsError> win_system_path(std::u16string_view path) {
  auto handed_over = system_path(path, full_path_name);
  if (!handed_over) return Err{handed_over.error()};
  return std::wstring(win::as_wide(handed_over.value()));
}

}  // namespace tarnwick::clean

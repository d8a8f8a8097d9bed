#include "engine/clean/system_path_win.hpp"

#include <windows.h>

#include "engine/clean/system_path.hpp"
#include "platform/win/wide.hpp"

namespace tarnwick::clean {
namespace {

Result<std::u16string, FsError> full_path_name(std::u16string_view path) {
  const std::wstring input(win::as_wide(path));
  std::wstring buffer(MAX_PATH, L'\0');
  // The needed size is known after one call; a second one fits unless the
  // current directory changed in between.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = ::GetFullPathNameW(input.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return Err{FsError{::GetLastError()}};
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::u16string(win::as_utf16(buffer));
    }
    buffer.resize(length);
  }
  return Err{FsError{ERROR_FILENAME_EXCED_RANGE}};
}

}  // namespace

Result<std::wstring, FsError> win_system_path(std::u16string_view path) {
  auto handed_over = system_path(path, full_path_name);
  if (!handed_over) return Err{handed_over.error()};
  return std::wstring(win::as_wide(handed_over.value()));
}

}  // namespace tarnwick::clean

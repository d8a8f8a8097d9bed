#pragma once

// Text that Win32 calls write into the caller's buffer. Included by the
// Windows layer only.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/os_error.hpp"
#include "common/result.hpp"
#include "platform/growing_buffer.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::win {

// The text of a call that follows the common convention of
// GetSystemWindowsDirectoryW, GetFullPathNameW and their kind:
// `call(buffer, units)` returns the length written, its NUL left out, when
// the buffer holds it; the size needed, NUL included, when it does not; and
// 0 on failure, with the code in GetLastError. One call learns the size and a
// second one fits, unless what is read changes in between; a few more are a
// margin. When even they do not fit: ERROR_INSUFFICIENT_BUFFER.
template <class Call>
Result<std::u16string, OsError> read_system_text(Call&& call) {
  constexpr int kAttempts = 4;
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD written = 0;
  std::optional<DWORD> failure;  // set when a call returned 0
  const bool done = fill_growing(buffer, kAttempts, [&](std::wstring& text) -> std::size_t {
    const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) {
      failure = ::GetLastError();
      return 0;
    }
    if (length < text.size()) {
      written = length;
      return 0;
    }
    return length;
  });
  if (failure) return Err{OsError{*failure}};
  if (!done) return Err{OsError{ERROR_INSUFFICIENT_BUFFER}};
  buffer.resize(written);
  return std::u16string(as_utf16(buffer));
}

// The full path of this program's own exe.
inline std::wstring module_path() {
  std::wstring path(32768, L'\0');  // the longest path there is, its NUL included
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

}  // namespace tarnwick::win

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::win {

// wchar_t is a UTF-16 unit on Windows; these views let the portable UTF-16
// code work on Win32 strings without copying.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::u16string_view as_utf16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}
inline std::wstring_view as_wide(std::u16string_view text) {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

// UTF-8 text to a wide string for a Win32 call (c_str() is NUL-terminated);
// nullopt for ill-formed UTF-8.
std::optional<std::wstring> to_wide(std::string_view utf8);

}  // namespace tarnwick::win

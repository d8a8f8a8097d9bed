#include "platform/win/wide_win.hpp"

#include "common/utf.hpp"

namespace tarnwick::win {

std::optional<std::wstring> to_wide(std::string_view utf8) {
  auto utf16 = utf8_to_utf16(utf8);
  if (!utf16) return std::nullopt;
  return std::wstring(as_wide(*utf16));
}

}  // namespace tarnwick::win

#include "common/utf.hpp"

#include <cstdint>

namespace tarnwick {
namespace {

// Walks the UTF-16 text; an unpaired surrogate is either refused (strict) or
// replaced by U+FFFD (lossy).
bool convert_utf16(std::u16string_view text, std::string& out, bool lossy) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      append_utf8(out, surrogate_pair_value(unit, text[i + 1]));
      ++i;
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      if (!lossy) return false;
      append_utf8(out, 0xFFFD);
    } else {
      append_utf8(out, unit);
    }
  }
  return true;
}

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::optional<std::string> utf16_to_utf8(std::u16string_view text) {
  std::string out;
  if (!convert_utf16(text, out, false)) return std::nullopt;
  return out;
}

std::string utf16_to_utf8_lossy(std::u16string_view text) {
  std::string out;
  convert_utf16(text, out, true);
  return out;
}

std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const auto continuation = [&](std::size_t k) { return k < text.size() && (byte(k) & 0xC0) == 0x80; };
  while (i < text.size()) {
    const std::uint8_t b0 = byte(i);
    char32_t cp = 0;
    std::size_t length = 0;
    if (b0 < 0x80) {
      cp = b0;
      length = 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      cp = b0 & 0x1F;
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      cp = b0 & 0x0F;
      length = 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      cp = b0 & 0x07;
      length = 4;
    } else {
      return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (!continuation(i + k)) return std::nullopt;
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return out;
}

}  // namespace tarnwick

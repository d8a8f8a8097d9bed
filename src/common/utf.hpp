#pragma once

// Conversions between the UTF-8 text used everywhere inside the helper and the
// UTF-16 text of the Windows interfaces. Portable: UTF-16 is held in
// std::u16string on every platform (wchar_t is 16 bits only on Windows).

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Strict: an unpaired surrogate gives nullopt.
std::optional<std::string> utf16_to_utf8(std::u16string_view text);

// Lossy: every unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8_lossy(std::u16string_view text);

// The input must be well-formed UTF-8 (as all text inside the helper is);
// ill-formed input gives nullopt.
std::optional<std::u16string> utf8_to_utf16(std::string_view text);

// UTF-16 surrogates, as units of UTF-16 text or as JSON's \uXXXX escapes.
constexpr bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
// The code point of a high surrogate followed by a low one.
constexpr char32_t surrogate_pair_value(char32_t high, char32_t low) {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// Appends the UTF-8 form of one Unicode scalar value.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace tarnwick

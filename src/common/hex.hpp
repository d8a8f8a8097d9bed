#pragma once

// Hexadecimal digits: the request text is bytes written as hex pairs, and
// JSON's \uXXXX escapes and refusal texts' \u{...} use them too.

#include <string>
#include <string_view>

namespace tarnwick {

// The value of a hexadecimal digit of either case; -1 for any other byte.
constexpr int hex_digit_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The lowercase digit of a value from 0 to 15.
constexpr char hex_digit(unsigned value) { return "0123456789abcdef"[value & 0xF]; }

// Each byte as two lowercase hexadecimal digits.
inline std::string hex_of(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(hex_digit(byte >> 4));
    out.push_back(hex_digit(byte));
  }
  return out;
}

}  // namespace tarnwick

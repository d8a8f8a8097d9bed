#include "elevate/request/json/found_value.hpp"

#include <cstdint>

#include "common/hex.hpp"
#include "elevate/request/json/printable_ranges.hpp"

namespace tarnwick::json {
namespace {

// Decodes the character at text[i] (the text is well-formed UTF-8) and
// returns its length in bytes.
std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t& code_point) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  code_point = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) code_point = (code_point << 6) | (byte(i + k) & 0x3F);
  return length;
}

void append_hex_escape(std::string& out, char32_t code_point) {
  char digits[8];
  int count = 0;
  do {
    digits[count++] = hex_digit(code_point & 0xF);
    code_point >>= 4;
  } while (code_point != 0);
  out += "\\u{";
  while (count > 0) out += digits[--count];
  out += '}';
}

struct NumberDescription {
  std::string operator()(std::uint64_t n) const { return "integer `" + std::to_string(n) + "`"; }
  std::string operator()(std::int64_t n) const { return "integer `" + std::to_string(n) + "`"; }
  std::string operator()(double x) const { return "floating point `" + float_text(x) + "`"; }
};

}  // namespace

std::string quoted_for_message(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t code_point = 0;
    const std::size_t length = decode_utf8(text, i, code_point);
    switch (code_point) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case 0:
        out += "\\0";
        break;
      default:
        if (is_printable(code_point)) {
          out.append(text, i, length);
        } else {
          append_hex_escape(out, code_point);
        }
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string describe(const FoundValue& value) {
  switch (value.kind) {
    case FoundValue::Kind::Null:
      return "null";
    case FoundValue::Kind::Boolean:
      return value.boolean ? "boolean `true`" : "boolean `false`";
    case FoundValue::Kind::Number:
      return std::visit(NumberDescription{}, value.number);
    case FoundValue::Kind::String:
      return "string " + quoted_for_message(value.text);
    case FoundValue::Kind::Sequence:
      return "sequence";
    case FoundValue::Kind::Map:
      return "map";
  }
  return {};
}

std::string invalid_type(const FoundValue& value, std::string_view expected) {
  std::string message = "invalid type: " + describe(value) + ", expected ";
  message += expected;
  return message;
}

}  // namespace tarnwick::json

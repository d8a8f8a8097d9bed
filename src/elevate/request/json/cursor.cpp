#include "elevate/request/json/cursor.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/hex.hpp"
#include "common/utf.hpp"

namespace tarnwick::json {
namespace {

constexpr std::array<bool, 256> make_string_stops() {
  std::array<bool, 256> stops{};
  for (int c = 0; c < 0x20; ++c) stops[c] = true;
  stops['"'] = true;
  stops['\\'] = true;
  return stops;
}

// Bytes that end a run of plain string content.
constexpr std::array<bool, 256> kStringStops = make_string_stops();

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

constexpr const char* kEofString = "EOF while parsing a string";

}  // namespace

TextPosition position_of(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, offset);
  TextPosition position;
  position.line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last_feed = before.rfind('\n');
  position.column = last_feed == std::string_view::npos ? offset : offset - (last_feed + 1);
  return position;
}

int Cursor::skip_blanks() {
  while (pos_ < text_.size() && is_blank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  return peek();
}

bool Cursor::fail_at(std::string message, std::size_t offset) {
  if (!error_) error_ = ReadError{std::move(message), offset};
  return false;
}

bool Cursor::fail_at_next(std::string message) { return fail_at(std::move(message), std::min(pos_ + 1, text_.size())); }

bool Cursor::enter() {
  if (budget_ == 1) return fail_at_next("recursion limit exceeded");
  --budget_;
  advance();
  return true;
}

void Cursor::give_up(char close) {
  if (skip_blanks() == static_cast<unsigned char>(close)) advance();
}

Cursor::Member Cursor::next_member(bool& first, std::string_view& key) {
  int c = skip_blanks();
  const auto refuse = [this](std::string message, bool at_end) {
    if (at_end) {
      fail_at_end(std::move(message));
    } else {
      fail_at_next(std::move(message));
    }
    return Member::Failed;
  };
  if (c < 0) return refuse("EOF while parsing an object", true);
  if (c == '}') return Member::End;
  if (first) {
    first = false;
  } else {
    if (c != ',') return refuse("expected `,` or `}`", false);
    advance();
    c = skip_blanks();
    if (c == '}') return refuse("trailing comma", false);
    if (c < 0) return refuse("EOF while parsing a value", true);
  }
  if (c != '"') return refuse("key must be a string", false);
  return read_string(key) ? Member::Key : Member::Failed;
}

bool Cursor::expect_colon() {
  const int c = skip_blanks();
  if (c == ':') {
    advance();
    return true;
  }
  if (c < 0) return fail_at_end("EOF while parsing an object");
  return fail_at_next("expected `:`");
}

bool Cursor::read_string(std::string_view& out) { return string_body<true>(&out); }

// Runs of plain bytes are found with a table and, when decoding, copied in
// one piece; a string without escapes is handed out as a view of the text.
template <bool Decode>
bool Cursor::string_body(std::string_view* out) {
  const std::size_t size = text_.size();
  const char* data = text_.data();
  std::size_t i = pos_ + 1;  // past the opening quote
  std::size_t run = i;       // first byte not yet copied to scratch_
  bool copied = false;
  if constexpr (Decode) scratch_.clear();
  for (;;) {
    while (i < size && !kStringStops[static_cast<unsigned char>(data[i])]) ++i;
    if (i == size) return fail_at_end(kEofString);
    const auto c = static_cast<unsigned char>(data[i]);
    if (c == '"') {
      if constexpr (Decode) {
        if (copied) {
          scratch_.append(data + run, i - run);
          *out = scratch_;
        } else {
          *out = text_.substr(run, i - run);
        }
      }
      pos_ = i + 1;
      return true;
    }
    if (c != '\\') return fail_at("control character (\\u0000-\\u001F) found while parsing a string", i + 1);
    if constexpr (Decode) {
      scratch_.append(data + run, i - run);
      copied = true;
    }
    if (!escape<Decode>(i)) return false;
    run = i;
  }
}

// `i` is at the backslash; moves it past the escape.
template <bool Decode>
bool Cursor::escape(std::size_t& i) {
  if (++i == text_.size()) return fail_at_end(kEofString);
  const char kind = text_[i++];
  char decoded = 0;
  switch (kind) {
    case '"':
      decoded = '"';
      break;
    case '\\':
      decoded = '\\';
      break;
    case '/':
      decoded = '/';
      break;
    case 'b':
      decoded = '\b';
      break;
    case 'f':
      decoded = '\f';
      break;
    case 'n':
      decoded = '\n';
      break;
    case 'r':
      decoded = '\r';
      break;
    case 't':
      decoded = '\t';
      break;
    case 'u':
      return unicode_escape<Decode>(i);
    default:
      return fail_at("invalid escape", i);
  }
  if constexpr (Decode) scratch_.push_back(decoded);
  return true;
}

// `i` is just past "\u". A high surrogate must be followed at once by the
// \u escape of a low one; the pair gives one character.
template <bool Decode>
bool Cursor::unicode_escape(std::size_t& i) {
  char32_t unit = 0;
  if (!hex_unit(i, unit)) return false;
  if (is_low_surrogate(unit)) return fail_at("lone leading surrogate in hex escape", i);
  if (is_high_surrogate(unit)) {
    // The refused escape is the high surrogate: its last digit is the position.
    const std::size_t high_end = i;
    for (const char expected : {'\\', 'u'}) {
      if (i == text_.size()) return fail_at_end(kEofString);
      if (text_[i] != expected) return fail_at("unexpected end of hex escape", high_end);
      ++i;
    }
    char32_t low = 0;
    if (!hex_unit(i, low)) return false;
    if (!is_low_surrogate(low)) return fail_at("lone leading surrogate in hex escape", i);
    unit = surrogate_pair_value(unit, low);
  }
  if constexpr (Decode) append_utf8(scratch_, unit);
  return true;
}

// Four hexadecimal digits at `i`, moved past them.
bool Cursor::hex_unit(std::size_t& i, char32_t& unit) {
  if (text_.size() - i < 4) return fail_at_end(kEofString);
  unit = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    const int digit = hex_digit_value(static_cast<unsigned char>(text_[i + k]));
    if (digit < 0) return fail_at("invalid escape", i + 4);
    unit = unit * 16 + static_cast<char32_t>(digit);
  }
  i += 4;
  return true;
}

bool Cursor::read_literal(std::string_view word) {
  for (std::size_t k = 1; k < word.size(); ++k) {
    if (pos_ + k >= text_.size()) return fail_at_end("EOF while parsing a value");
    if (text_[pos_ + k] != word[k]) return fail_at("expected ident", pos_ + k + 1);
  }
  pos_ += word.size();
  return true;
}

bool Cursor::scan_number(std::string_view& out) {
  const std::size_t start = pos_;
  if (peek() == '-') advance();
  // Integer part: "0", or a digit 1 to 9 followed by digits.
  int c = peek();
  if (c < 0) return fail_at_end("EOF while parsing a value");
  if (c == '0') {
    advance();
    if (is_digit(peek())) return fail_at_next("invalid number");
  } else if (is_digit(c)) {
    while (is_digit(peek())) advance();
  } else {
    return fail_at_next("invalid number");
  }
  if (peek() == '.') {
    advance();
    c = peek();
    if (c < 0) return fail_at_end("EOF while parsing a value");
    if (!is_digit(c)) return fail_at_next("invalid number");
    while (is_digit(peek())) advance();
  }
  if (peek() == 'e' || peek() == 'E') {
    advance();
    if (peek() == '+' || peek() == '-') advance();
    c = peek();
    if (c < 0) return fail_at_end("EOF while parsing a value");
    if (!is_digit(c)) return fail_at_next("invalid number");
    while (is_digit(peek())) advance();
  }
  out = text_.substr(start, pos_ - start);
  return true;
}

bool Cursor::read_number(NumberValue& out) {
  std::string_view text;
  if (!scan_number(text)) return false;
  auto value = number_value(text);
  // The number has been consumed whole: the error points at its last byte.
  if (!value) return fail_here("number out of range");
  out = *value;
  return true;
}

bool Cursor::read_scalar(FoundValue& out) {
  using Kind = FoundValue::Kind;
  switch (peek()) {
    case 'n':
      out.kind = Kind::Null;
      return read_literal("null");
    case 't':
      out.kind = Kind::Boolean;
      out.boolean = true;
      return read_literal("true");
    case 'f':
      out.kind = Kind::Boolean;
      out.boolean = false;
      return read_literal("false");
    case '"': {
      out.kind = Kind::String;
      std::string_view text;
      if (!read_string(text)) return false;
      out.text.assign(text);
      return true;
    }
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      out.kind = Kind::Number;
      return read_number(out.number);
    case -1:
      return fail_at_end("EOF while parsing a value");
    default:
      return fail_at_next("expected value");
  }
}

// A key inside a skipped object: `next` is the byte at the cursor.
bool Cursor::skipped_member_key(int next) {
  if (next < 0) return fail_at_end("EOF while parsing an object");
  if (next != '"') return fail_at_next("key must be a string");
  return skip_string() && expect_colon();
}

// One loop over the tokens; open arrays and objects are kept in
// open_brackets_, so the depth of the value costs heap, never stack.
bool Cursor::skip_value(Check check) {
  const bool converted = check == Check::Converted;
  open_brackets_.clear();
  for (;;) {
    // A value begins here.
    const int c = skip_blanks();
    switch (c) {
      case '[':
      case '{': {
        if (converted) {
          if (!enter()) return false;
        } else {
          advance();
        }
        const int close = c == '[' ? int{']'} : int{'}'};
        const int next = skip_blanks();
        if (next == close) {
          advance();
          if (converted) leave();
          break;  // an empty array or object is a whole value
        }
        open_brackets_.push_back(static_cast<char>(c));
        if (c == '{') {
          if (!skipped_member_key(next)) return false;
        } else if (next < 0) {
          return fail_at_end("EOF while parsing a list");
        }
        continue;  // the first element or member value
      }
      case '"':
        if (!skip_string()) return false;
        break;
      case 'n':
        if (!read_literal("null")) return false;
        break;
      case 't':
        if (!read_literal("true")) return false;
        break;
      case 'f':
        if (!read_literal("false")) return false;
        break;
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9': {
        if (converted) {
          NumberValue number;
          if (!read_number(number)) return false;
        } else {
          std::string_view text;
          if (!scan_number(text)) return false;
        }
        break;
      }
      case -1:
        return fail_at_end("EOF while parsing a value");
      default:
        return fail_at_next("expected value");
    }

    // A value has ended: close the arrays and objects it completes, then go
    // on with the next element or member, or stop when the outermost closed.
    for (;;) {
      if (open_brackets_.empty()) return true;
      const bool in_array = open_brackets_.back() == '[';
      const int close = in_array ? int{']'} : int{'}'};
      const int after = skip_blanks();
      if (after == close) {
        advance();
        open_brackets_.pop_back();
        if (converted) leave();
        continue;
      }
      if (after == ',') {
        advance();
        const int next = skip_blanks();
        if (next == close) return fail_at_next("trailing comma");
        if (next < 0) return fail_at_end("EOF while parsing a value");
        if (!in_array && !skipped_member_key(next)) return false;
        break;
      }
      if (after < 0) return fail_at_end(in_array ? "EOF while parsing a list" : "EOF while parsing an object");
      return fail_at_next(in_array ? "expected `,` or `]`" : "expected `,` or `}`");
    }
  }
}

}  // namespace tarnwick::json

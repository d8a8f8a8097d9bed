#pragma once

// The request reader's view of the JSON text: a cursor over its bytes with
// the token rules, the object syntax and the skipping of whole values. Every
// reading method returns false after recording the first error; the caller
// returns false in turn, and nothing is read after an error.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "elevate/request/json/found_value.hpp"
#include "elevate/request/json/number_value.hpp"

namespace tarnwick::json {

// The first reading error: its message and the byte offset its line and
// column are computed from.
struct ReadError {
  std::string message;
  std::size_t offset = 0;
};

struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 0;
};

// Line: 1 plus the line feeds before `offset`. Column: bytes since the last
// of them (0 right after a line feed), or `offset` when there is none.
TextPosition position_of(std::string_view text, std::size_t offset);

// Nesting budget of a document: an opening bracket that would bring it to 0
// is refused, so at most 127 levels are interpreted.
inline constexpr int kNestingBudget = 128;

// How thoroughly a skipped value is checked.
enum class Check {
  Syntax,     // an ignored member: syntax only, no nesting budget
  Converted,  // a kept value: numbers converted, nesting budget taken
};

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  std::size_t offset() const { return pos_; }
  // The byte at the cursor, or -1 at the end of the text.
  int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
  void advance() { ++pos_; }
  // Consumes blanks (space, tab, line feed, carriage return); returns peek().
  int skip_blanks();

  // Records the first error; each returns false.
  bool fail_at(std::string message, std::size_t offset);
  bool fail_here(std::string message) { return fail_at(std::move(message), pos_); }
  // The byte at the cursor is the offending one: the error points just after it.
  bool fail_at_next(std::string message);
  bool fail_at_end(std::string message) { return fail_at(std::move(message), text_.size()); }
  const std::optional<ReadError>& error() const { return error_; }

  // At "[" or "{": takes a unit of the nesting budget and consumes the bracket.
  bool enter();
  void leave() { ++budget_; }
  // Consumes the closing bracket at the cursor and leaves its array or object.
  void close() {
    advance();
    leave();
  }
  // Giving up an entered array or object: consumes blanks and, if it comes
  // next, its closing bracket.
  void give_up(char close);

  // Walks the members of the object just entered, the same rules for every
  // object: for each key (decoded; valid until the next string is read),
  // `on_member(key)` reads the rest of the member, colon and value, and
  // returns false to stop the walk after recording an error. Returns true
  // at the object's "}", which is left for the caller.
  template <class OnMember>
  bool walk_members(OnMember&& on_member) {
    bool first = true;
    std::string_view key;
    for (;;) {
      switch (next_member(first, key)) {
        case Member::Failed:
          return false;
        case Member::End:
          return true;
        case Member::Key:
          if (!on_member(key)) return false;
          break;
      }
    }
  }
  bool expect_colon();

  // Tokens; each expects the cursor on the token's first byte.
  // The decoded string stays valid until the next read_string.
  bool read_string(std::string_view& out);
  // `word` is null, true or false; its first byte is at the cursor.
  bool read_literal(std::string_view word);
  bool read_number(NumberValue& out);
  // A scalar where a type refusal needs its description; "expected value"
  // for a byte that begins no value (brackets included).
  bool read_scalar(FoundValue& out);

  // Skips one whole value, nested arrays and objects included, without
  // recursion.
  bool skip_value(Check check);

 private:
  enum class Member { Key, End, Failed };
  // Reads the next key of an object, or stops at its "}" without consuming
  // it. `first` is true right after "{" and is cleared here.
  Member next_member(bool& first, std::string_view& key);

  template <bool Decode>
  bool string_body(std::string_view* out);
  template <bool Decode>
  bool escape(std::size_t& i);
  template <bool Decode>
  bool unicode_escape(std::size_t& i);
  bool hex_unit(std::size_t& i, char32_t& unit);
  bool skip_string() { return string_body<false>(nullptr); }
  bool scan_number(std::string_view& out);
  bool skipped_member_key(int next);

  std::string_view text_;
  std::size_t pos_ = 0;
  int budget_ = kNestingBudget;
  std::string scratch_;        // decoded string with escapes
  std::string open_brackets_;  // skip_value's stack
  std::optional<ReadError> error_;
};

}  // namespace tarnwick::json

#include "elevate/request/json/type_refusal.hpp"

namespace tarnwick::json {
namespace {

// The kind of value that the byte `c` begins; nullopt for none.
std::optional<FoundValue::Kind> kind_beginning_with(int c) {
  using Kind = FoundValue::Kind;
  switch (c) {
    case 'n':
      return Kind::Null;
    case 't':
    case 'f':
      return Kind::Boolean;
    case '"':
      return Kind::String;
    case '[':
      return Kind::Sequence;
    case '{':
      return Kind::Map;
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
      return Kind::Number;
    default:
      return std::nullopt;
  }
}

}  // namespace

bool expect_type(Cursor& in, const Expected& expected) {
  const auto kind = kind_beginning_with(in.skip_blanks());
  if (kind && expected.accepts(*kind)) return true;
  FoundValue found;
  if (kind == FoundValue::Kind::Sequence || kind == FoundValue::Kind::Map) {
    found.kind = *kind;
    if (expected.wrong_container == WrongContainer::Entered) {
      if (!in.enter()) return false;
      in.give_up(*kind == FoundValue::Kind::Sequence ? ']' : '}');
    }
  } else if (!in.read_scalar(found)) {
    return false;  // not a value: "expected value", or the end of the text
  }
  return in.fail_here(invalid_type(found, expected.name));
}

std::optional<std::string> type_refusal(const FoundValue& value, const Expected& expected) {
  if (expected.accepts(value.kind)) return std::nullopt;
  return invalid_type(value, expected.name);
}

}  // namespace tarnwick::json

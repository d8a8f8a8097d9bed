#pragma once

#include <string>
#include <string_view>

#include "elevate/request/json/number_value.hpp"

namespace tarnwick::json {

// A JSON value as far as a refusal text needs it: its kind and, for a
// scalar, its value (containers are named only by their kind).
struct FoundValue {
  enum class Kind { Null, Boolean, Number, String, Sequence, Map };
  Kind kind = Kind::Null;
  bool boolean = false;
  NumberValue number;
  std::string text;  // the decoded string of a String
};

// How a type refusal names the value found: null, boolean `true`,
// integer `-5`, floating point `1.5`, string "a\tb", sequence, map.
std::string describe(const FoundValue& value);

// "invalid type: <describe(value)>, expected <expected>".
std::string invalid_type(const FoundValue& value, std::string_view expected);

// `text` (well-formed UTF-8) in double quotes, with the double quote,
// backslash, tab, carriage return, line feed and U+0000 written \" \\ \t \r
// \n \0, and every other character that does not print written \u{h}.
std::string quoted_for_message(std::string_view text);

}  // namespace tarnwick::json

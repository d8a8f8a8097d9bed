#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "elevate/request/json/cursor.hpp"
#include "elevate/request/json/found_value.hpp"

namespace tarnwick::json {

// What a wrong array or object is refused like.
enum class WrongContainer {
  Unread,   // refused at its opening bracket, nothing of it read
  Entered,  // entered (taking nesting budget) and refused past its bracket
};

// What one place of a document expects: the kinds of value it takes, and how
// a value of another kind is refused ("invalid type: <found>, expected
// <name>"). Scalars of a wrong kind are always read whole first.
struct Expected {
  std::string_view name;
  std::uint8_t kinds = 0;  // bits made by kinds_of()
  WrongContainer wrong_container = WrongContainer::Unread;

  bool accepts(FoundValue::Kind kind) const { return (kinds >> static_cast<unsigned>(kind) & 1u) != 0; }
};

template <class... Kind>
constexpr std::uint8_t kinds_of(Kind... kind) {
  return static_cast<std::uint8_t>(((1u << static_cast<unsigned>(kind)) | ...));
}

// At a value: true, with nothing consumed, when its first byte begins a value
// of an expected kind; otherwise the value is refused as `expected` says (or
// as not a value at all) and false is returned.
bool expect_type(Cursor& in, const Expected& expected);

// For a value already read whole: its refusal, or nullopt when it is of an
// expected kind.
std::optional<std::string> type_refusal(const FoundValue& value, const Expected& expected);

}  // namespace tarnwick::json

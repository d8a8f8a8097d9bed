#include "elevate/request/request_reader.hpp"

#include <cstddef>
#include <utility>

#include "elevate/request/json/type_refusal.hpp"

namespace tarnwick {
namespace {

using json::Expected;
using json::FoundValue;
using json::kinds_of;
using json::WrongContainer;
using Kind = json::FoundValue::Kind;

// What each place of a request takes, and how another type is refused there.
constexpr Expected kExpectRequest{"struct HelperRequest", kinds_of(Kind::Map, Kind::Sequence)};
constexpr Expected kExpectAction{"adjacently tagged enum HelperAction", kinds_of(Kind::Map, Kind::Sequence)};
constexpr Expected kExpectWireName{"variant identifier", kinds_of(Kind::String), WrongContainer::Unread};
constexpr Expected kExpectUnit{"unit", kinds_of(Kind::Null), WrongContainer::Unread};
// The "args" of each action, by ActionKind.
constexpr Expected kExpectArgs[] = {
    {"unit variant HelperAction::CleanSystem", kinds_of(Kind::Null), WrongContainer::Entered},
    {"unit variant HelperAction::StartupHklmList", kinds_of(Kind::Null), WrongContainer::Entered},
    {"struct variant HelperAction::StartupHklmSet", kinds_of(Kind::Map), WrongContainer::Entered},
};

const Expected& args_expectation(ActionKind kind) { return kExpectArgs[static_cast<std::size_t>(kind)]; }

std::string unknown_variant(std::string_view name) {
  std::string message = "unknown variant `";
  message += name;
  message += "`, expected one of ";
  for (const std::string_view wire_name : kWireNames) {
    if (wire_name != kWireNames.front()) message += ", ";
    message += '`';
    message += wire_name;
    message += '`';
  }
  return message;
}

}  // namespace

bool RequestReader::give_up_with(char close, std::string message) {
  in_.give_up(close);
  return in_.fail_here(std::move(message));
}

// A member the request does not use: its value must only be well-formed.
bool RequestReader::skip_ignored_member() { return in_.expect_colon() && in_.skip_value(json::Check::Syntax); }

// --- Request ----------------------------------------------------------------

bool RequestReader::read(HelperRequest& out) {
  if (!json::expect_type(in_, kExpectRequest)) return false;
  const bool ok = in_.peek() == '{' ? read_request_object(out.action) : read_request_array(out.action);
  if (!ok) return false;
  if (in_.skip_blanks() >= 0) return in_.fail_at_next("trailing characters");
  return true;
}

bool RequestReader::read_request_object(HelperAction& action) {
  bool has_action = false;
  const bool walked = in_.enter() && in_.walk_members([&](std::string_view key) {
    if (key != wire::kMemberAction) return skip_ignored_member();
    if (has_action) return give_up_with('}', duplicate_field(wire::kMemberAction));
    has_action = true;
    return in_.expect_colon() && read_action(action);
  });
  if (!walked) return false;
  if (!has_action) return give_up_with('}', missing_field(wire::kMemberAction));
  in_.close();
  return true;
}

bool RequestReader::read_request_array(HelperAction& action) {
  if (!in_.enter()) return false;
  const int c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ']') return give_up_with(']', "invalid length 0, expected struct HelperRequest with 1 element");
  return read_action(action) && end_one_element_array();
}

// After the one element that matters: the array must end there.
bool RequestReader::end_one_element_array() {
  const int c = in_.skip_blanks();
  if (c == ']') {
    in_.close();
    return true;
  }
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ',') {
    in_.advance();
    if (in_.skip_blanks() == ']') return in_.fail_at_next("trailing comma");
  }
  return in_.fail_at_next("trailing characters");
}

// --- Action -----------------------------------------------------------------

bool RequestReader::read_action(HelperAction& action) {
  if (!json::expect_type(in_, kExpectAction)) return false;
  return in_.peek() == '{' ? read_action_object(action) : read_action_array(action);
}

// Which of "action" and "args" comes first decides how the arguments are
// read: after the tag, for its action as they come; before it, read whole
// and kept, then interpreted as soon as the tag is read, a refusal giving up
// the action object right there.
bool RequestReader::read_action_object(HelperAction& action) {
  std::optional<ActionKind> tag;
  std::optional<KeptArgs> kept;
  bool has_args = false;
  const bool walked = in_.enter() && in_.walk_members([&](std::string_view key) {
    if (key == wire::kMemberAction) {
      if (tag) return give_up_with('}', duplicate_field(wire::kMemberAction));
      ActionKind kind{};
      if (!in_.expect_colon() || !read_tag(kind)) return false;
      tag = kind;
      if (!kept) return true;
      auto refusal = apply_kept_args(*kept, kind, action);
      return !refusal || give_up_with('}', std::move(*refusal));
    }
    if (key == wire::kMemberArgs) {
      if (has_args) return give_up_with('}', duplicate_field(wire::kMemberArgs));
      has_args = true;
      if (!in_.expect_colon()) return false;
      if (tag) return read_args(*tag, action);
      return read_kept_args(kept.emplace());
    }
    return skip_ignored_member();
  });
  if (!walked) return false;
  if (!tag) return give_up_with('}', missing_field(wire::kMemberAction));
  if (!has_args) {
    if (*tag == ActionKind::StartupHklmSet) return give_up_with('}', missing_field(wire::kMemberArgs));
    action = unit_action(*tag);
  }
  in_.close();
  return true;
}

// ["wire-name", args]
bool RequestReader::read_action_array(HelperAction& action) {
  if (!in_.enter()) return false;
  int c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ']') return give_up_with(']', "invalid length 0, expected adjacently tagged enum HelperAction");
  ActionKind kind{};
  if (!json::expect_type(in_, kExpectWireName) || !read_wire_name(kind)) return false;
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ']') return give_up_with(']', "invalid length 1, expected adjacently tagged enum HelperAction");
  if (c != ',') return in_.fail_at_next("expected `,` or `]`");
  in_.advance();
  c = in_.skip_blanks();
  if (c == ']') return in_.fail_at_next("trailing comma");
  if (c < 0) return in_.fail_at_end("EOF while parsing a value");
  return read_args(kind, action) && end_one_element_array();
}

// --- Tag --------------------------------------------------------------------

// "wire-name", or {"wire-name":null}.
bool RequestReader::read_tag(ActionKind& kind) {
  int c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a value");
  if (c == '"') return read_wire_name(kind);
  if (c != '{') return in_.fail_at_next("expected value");
  if (!in_.enter()) return false;
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing an object");
  if (c == '}') return in_.fail_at_next("expected value");
  if (c != '"') return in_.fail_at_next("key must be a string");
  if (!read_wire_name(kind) || !in_.expect_colon()) return false;
  if (!json::expect_type(in_, kExpectUnit) || !in_.read_literal("null")) return false;
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing an object");
  // The one refusal that points at the offending byte itself.
  if (c != '}') return in_.fail_here("expected value");
  in_.close();
  return true;
}

bool RequestReader::read_wire_name(ActionKind& kind) {
  std::string_view name;
  if (!in_.read_string(name)) return false;
  const auto named = action_named(name);
  if (!named) return in_.fail_here(unknown_variant(name));
  kind = *named;
  return true;
}

// --- Arguments read from the text -------------------------------------------

bool RequestReader::read_args(ActionKind kind, HelperAction& action) {
  if (!json::expect_type(in_, args_expectation(kind))) return false;
  if (kind == ActionKind::StartupHklmSet) return read_set_args(action);
  action = unit_action(kind);
  return in_.read_literal("null");
}

// Each field refused as soon as it is found duplicate or of the wrong type.
bool RequestReader::read_set_args(HelperAction& action) {
  SetArguments set;
  const bool walked = in_.enter() && in_.walk_members([&](std::string_view key) {
    const SetArguments::Field* field = SetArguments::field_named(key);
    if (!field) return skip_ignored_member();
    if (set.has(*field)) return give_up_with('}', duplicate_field(field->key));
    if (!in_.expect_colon() || !json::expect_type(in_, field->expected)) return false;
    FoundValue value;
    if (!in_.read_scalar(value)) return false;
    auto refusal = set.assign(*field, std::move(value));
    return !refusal || in_.fail_here(std::move(*refusal));
  });
  if (!walked) return false;
  if (auto refusal = set.missing()) return give_up_with('}', std::move(*refusal));
  in_.close();
  action = set.take();
  return true;
}

// --- Arguments kept until the tag is known ----------------------------------

// Read whole, with numbers converted and nesting budget taken; only what an
// interpretation can look at is kept.
bool RequestReader::read_kept_args(KeptArgs& kept) {
  const int c = in_.skip_blanks();
  if (c == '{') return read_kept_map(kept);
  if (c == '[') {
    kept.value.kind = Kind::Sequence;
    return in_.skip_value(json::Check::Converted);
  }
  return in_.read_scalar(kept.value);
}

// Records, member by member, what StartupHklmSet would make of the map: its
// fields, or the first refusal in the order the members come.
bool RequestReader::read_kept_map(KeptArgs& kept) {
  kept.value.kind = Kind::Map;
  const bool walked = in_.enter() && in_.walk_members([&](std::string_view key) {
    const SetArguments::Field* field = SetArguments::field_named(key);
    if (!in_.expect_colon()) return false;
    if (!field) return in_.skip_value(json::Check::Converted);
    FoundValue value;
    if (!read_kept_member(value)) return false;
    if (!kept.set_refusal) kept.set_refusal = kept.set.assign(*field, std::move(value));
    return true;
  });
  if (!walked) return false;
  in_.close();
  if (!kept.set_refusal) kept.set_refusal = kept.set.missing();
  return true;
}

bool RequestReader::read_kept_member(FoundValue& value) {
  const int c = in_.skip_blanks();
  if (c == '[' || c == '{') {
    value.kind = c == '[' ? Kind::Sequence : Kind::Map;
    return in_.skip_value(json::Check::Converted);
  }
  return in_.read_scalar(value);
}

std::optional<std::string> RequestReader::apply_kept_args(KeptArgs& kept, ActionKind kind, HelperAction& action) {
  if (auto refusal = json::type_refusal(kept.value, args_expectation(kind))) return refusal;
  if (kind != ActionKind::StartupHklmSet) {
    action = unit_action(kind);
    return std::nullopt;
  }
  if (kept.set_refusal) return kept.set_refusal;
  action = kept.set.take();
  return std::nullopt;
}

}  // namespace tarnwick

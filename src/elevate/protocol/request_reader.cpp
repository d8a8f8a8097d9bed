#include "elevate/protocol/request_reader.hpp"

#include <utility>

namespace tarnwick {
namespace {

constexpr std::string_view kExpectRequest = "struct HelperRequest";
constexpr std::string_view kExpectAction = "adjacently tagged enum HelperAction";
constexpr std::string_view kExpectSetArgs = "struct variant HelperAction::StartupHklmSet";

std::string unknown_variant(std::string_view name) {
  std::string message = "unknown variant `";
  message += name;
  message += "`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set`";
  return message;
}

std::string missing_field(std::string_view name) { return "missing field `" + std::string(name) + "`"; }
std::string duplicate_field(std::string_view name) { return "duplicate field `" + std::string(name) + "`"; }

std::string_view unit_expectation(bool clean_system) {
  return clean_system ? "unit variant HelperAction::CleanSystem" : "unit variant HelperAction::StartupHklmList";
}

FoundValue kind_only(FoundValue::Kind kind) {
  FoundValue value;
  value.kind = kind;
  return value;
}

}  // namespace

// --- Refusals ---------------------------------------------------------------

// A scalar refused for its type is consumed whole first.
bool RequestReader::refuse_scalar(std::string_view expected) {
  FoundValue found;
  if (!in_.read_scalar(found)) return false;
  return in_.fail_here(invalid_type(found, expected));
}

// An array or object refused for its type without reading any of it.
bool RequestReader::refuse_unread(FoundValue::Kind kind, std::string_view expected) {
  return in_.fail_here(invalid_type(kind_only(kind), expected));
}

// An array or object entered and refused at once, before its content.
bool RequestReader::refuse_entered(FoundValue::Kind kind, std::string_view expected) {
  if (!in_.enter()) return false;
  in_.give_up(kind == FoundValue::Kind::Sequence ? ']' : '}');
  return in_.fail_here(invalid_type(kind_only(kind), expected));
}

bool RequestReader::give_up_with(char close, std::string message) {
  in_.give_up(close);
  return in_.fail_here(std::move(message));
}

// --- Request ----------------------------------------------------------------

// A member the request does not use: its value must only be well-formed.
bool RequestReader::skip_ignored_member() { return in_.expect_colon() && in_.skip_value(json::Check::Syntax); }

bool RequestReader::read(HelperRequest& out) {
  const int c = in_.skip_blanks();
  bool ok = false;
  if (c == '{') {
    ok = read_request_object(out.action);
  } else if (c == '[') {
    ok = read_request_array(out.action);
  } else {
    return refuse_scalar(kExpectRequest);
  }
  if (!ok) return false;
  if (in_.skip_blanks() >= 0) return in_.fail_at_next("trailing characters");
  return true;
}

bool RequestReader::read_request_object(HelperAction& action) {
  if (!in_.enter()) return false;
  bool first = true;
  bool has_action = false;
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) break;
    if (key == "action") {
      if (has_action) return give_up_with('}', duplicate_field("action"));
      if (!in_.expect_colon() || !read_action(action)) return false;
      has_action = true;
    } else if (!skip_ignored_member()) {
      return false;
    }
  }
  if (!has_action) return give_up_with('}', missing_field("action"));
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
  const int c = in_.skip_blanks();
  if (c == '{') return read_action_object(action);
  if (c == '[') return read_action_array(action);
  return refuse_scalar(kExpectAction);
}

// Which of "action" and "args" comes first decides how the object is read.
bool RequestReader::read_action_object(HelperAction& action) {
  if (!in_.enter()) return false;
  bool first = true;
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) return give_up_with('}', missing_field("action"));
    if (key == "action") {
      Variant variant{};
      return in_.expect_colon() && read_tag(variant) && finish_after_tag(variant, first, action);
    }
    if (key == "args") {
      KeptArgs kept;
      return in_.expect_colon() && read_kept_args(kept) && finish_after_kept_args(kept, first, action);
    }
    if (!skip_ignored_member()) return false;
  }
}

// The tag came first: the arguments are read for its variant as they come.
bool RequestReader::finish_after_tag(Variant variant, bool& first, HelperAction& action) {
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) {
      if (variant == Variant::StartupHklmSet) return give_up_with('}', missing_field("args"));
      if (variant == Variant::CleanSystem) {
        action = CleanSystem{};
      } else {
        action = StartupHklmList{};
      }
      return finish_action_object(first);
    }
    if (key == "action") return give_up_with('}', duplicate_field("action"));
    if (key == "args") {
      return in_.expect_colon() && read_args(variant, action) && finish_action_object(first);
    }
    if (!skip_ignored_member()) return false;
  }
}

// The arguments came first and were kept: once the tag is read they are
// interpreted at once, and a refusal gives up the action object there.
bool RequestReader::finish_after_kept_args(KeptArgs& kept, bool& first, HelperAction& action) {
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) return give_up_with('}', missing_field("action"));
    if (key == "args") return give_up_with('}', duplicate_field("args"));
    if (key == "action") {
      Variant variant{};
      if (!in_.expect_colon() || !read_tag(variant)) return false;
      if (auto refusal = apply_kept_args(kept, variant, action)) return give_up_with('}', std::move(*refusal));
      return finish_action_object(first);
    }
    if (!skip_ignored_member()) return false;
  }
}

// Both "action" and "args" are read: only ignored members may follow.
bool RequestReader::finish_action_object(bool& first) {
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) {
      in_.close();
      return true;
    }
    if (key == "action") return give_up_with('}', duplicate_field("action"));
    if (key == "args") return give_up_with('}', duplicate_field("args"));
    if (!skip_ignored_member()) return false;
  }
}

// ["wire-name", args]
bool RequestReader::read_action_array(HelperAction& action) {
  if (!in_.enter()) return false;
  int c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ']') return give_up_with(']', "invalid length 0, expected adjacently tagged enum HelperAction");
  constexpr std::string_view kExpectName = "variant identifier";
  Variant variant{};
  if (c == '"') {
    if (!read_wire_name(variant)) return false;
  } else if (c == '[') {
    return refuse_unread(FoundValue::Kind::Sequence, kExpectName);
  } else if (c == '{') {
    return refuse_unread(FoundValue::Kind::Map, kExpectName);
  } else {
    return refuse_scalar(kExpectName);
  }
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a list");
  if (c == ']') return give_up_with(']', "invalid length 1, expected adjacently tagged enum HelperAction");
  if (c != ',') return in_.fail_at_next("expected `,` or `]`");
  in_.advance();
  c = in_.skip_blanks();
  if (c == ']') return in_.fail_at_next("trailing comma");
  if (c < 0) return in_.fail_at_end("EOF while parsing a value");
  return read_args(variant, action) && end_one_element_array();
}

// --- Tag --------------------------------------------------------------------

// "wire-name", or {"wire-name":null}.
bool RequestReader::read_tag(Variant& variant) {
  int c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing a value");
  if (c == '"') return read_wire_name(variant);
  if (c != '{') return in_.fail_at_next("expected value");
  if (!in_.enter()) return false;
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing an object");
  if (c == '}') return in_.fail_at_next("expected value");
  if (c != '"') return in_.fail_at_next("key must be a string");
  if (!read_wire_name(variant) || !in_.expect_colon()) return false;
  constexpr std::string_view kExpectUnit = "unit";
  c = in_.skip_blanks();
  if (c == '[') return refuse_unread(FoundValue::Kind::Sequence, kExpectUnit);
  if (c == '{') return refuse_unread(FoundValue::Kind::Map, kExpectUnit);
  if (c != 'n') return refuse_scalar(kExpectUnit);
  if (!in_.read_literal("null")) return false;
  c = in_.skip_blanks();
  if (c < 0) return in_.fail_at_end("EOF while parsing an object");
  // The one refusal that points at the offending byte itself.
  if (c != '}') return in_.fail_here("expected value");
  in_.close();
  return true;
}

bool RequestReader::read_wire_name(Variant& variant) {
  std::string_view name;
  if (!in_.read_string(name)) return false;
  if (name == "clean-system") {
    variant = Variant::CleanSystem;
  } else if (name == "startup-hklm-list") {
    variant = Variant::StartupHklmList;
  } else if (name == "startup-hklm-set") {
    variant = Variant::StartupHklmSet;
  } else {
    return in_.fail_here(unknown_variant(name));
  }
  return true;
}

// --- Arguments read from the text -------------------------------------------

bool RequestReader::read_args(Variant variant, HelperAction& action) {
  if (variant == Variant::StartupHklmSet) {
    StartupHklmSet set;
    if (!read_set_args(set)) return false;
    action = std::move(set);
    return true;
  }
  if (!read_unit_args(variant)) return false;
  if (variant == Variant::CleanSystem) {
    action = CleanSystem{};
  } else {
    action = StartupHklmList{};
  }
  return true;
}

bool RequestReader::read_unit_args(Variant variant) {
  const std::string_view expected = unit_expectation(variant == Variant::CleanSystem);
  const int c = in_.skip_blanks();
  if (c == 'n') return in_.read_literal("null");
  if (c == '[') return refuse_entered(FoundValue::Kind::Sequence, expected);
  if (c == '{') return refuse_entered(FoundValue::Kind::Map, expected);
  return refuse_scalar(expected);
}

bool RequestReader::read_set_args(StartupHklmSet& out) {
  const int c = in_.skip_blanks();
  if (c == '[') return refuse_entered(FoundValue::Kind::Sequence, kExpectSetArgs);
  if (c != '{') return refuse_scalar(kExpectSetArgs);
  if (!in_.enter()) return false;
  bool first = true;
  bool has_name = false;
  bool has_enabled = false;
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) break;
    if (key == "name") {
      if (has_name) return give_up_with('}', duplicate_field("name"));
      if (!in_.expect_colon() || !read_name(out.name)) return false;
      has_name = true;
    } else if (key == "enabled") {
      if (has_enabled) return give_up_with('}', duplicate_field("enabled"));
      if (!in_.expect_colon() || !read_enabled(out.enabled)) return false;
      has_enabled = true;
    } else if (!skip_ignored_member()) {
      return false;
    }
  }
  if (!has_name) return give_up_with('}', missing_field("name"));
  if (!has_enabled) return give_up_with('}', missing_field("enabled"));
  in_.close();
  return true;
}

bool RequestReader::read_name(std::string& out) {
  constexpr std::string_view kExpectString = "a string";
  const int c = in_.skip_blanks();
  if (c == '[') return refuse_unread(FoundValue::Kind::Sequence, kExpectString);
  if (c == '{') return refuse_unread(FoundValue::Kind::Map, kExpectString);
  if (c != '"') return refuse_scalar(kExpectString);
  std::string_view name;
  if (!in_.read_string(name)) return false;
  out.assign(name);
  return true;
}

bool RequestReader::read_enabled(bool& out) {
  constexpr std::string_view kExpectBoolean = "a boolean";
  const int c = in_.skip_blanks();
  if (c == '[') return refuse_unread(FoundValue::Kind::Sequence, kExpectBoolean);
  if (c == '{') return refuse_unread(FoundValue::Kind::Map, kExpectBoolean);
  if (c == 't') {
    out = true;
    return in_.read_literal("true");
  }
  if (c == 'f') {
    out = false;
    return in_.read_literal("false");
  }
  return refuse_scalar(kExpectBoolean);
}

// --- Arguments kept until the tag is known ----------------------------------

// Read whole, with numbers converted and nesting budget taken; only what an
// interpretation can look at is kept.
bool RequestReader::read_kept_args(KeptArgs& kept) {
  const int c = in_.skip_blanks();
  if (c == '{') return read_kept_map(kept);
  if (c == '[') {
    kept.value.kind = FoundValue::Kind::Sequence;
    return in_.skip_value(json::Check::Converted);
  }
  return in_.read_scalar(kept.value);
}

// Records, member by member, what StartupHklmSet would make of the map: its
// fields, or the first refusal in the order the members come.
bool RequestReader::read_kept_map(KeptArgs& kept) {
  kept.value.kind = FoundValue::Kind::Map;
  if (!in_.enter()) return false;
  bool first = true;
  std::string_view key;
  for (;;) {
    const auto member = in_.next_member(first, key);
    if (member == json::Cursor::Member::Failed) return false;
    if (member == json::Cursor::Member::End) break;
    const bool is_name = key == "name";
    const bool is_enabled = key == "enabled";
    if (!in_.expect_colon()) return false;
    if (!is_name && !is_enabled) {
      if (!in_.skip_value(json::Check::Converted)) return false;
      continue;
    }
    FoundValue value;
    if (!read_kept_member(value)) return false;
    if (kept.set_refusal) continue;
    if (is_name) {
      if (kept.has_name) {
        kept.set_refusal = duplicate_field("name");
      } else if (value.kind != FoundValue::Kind::String) {
        kept.set_refusal = invalid_type(value, "a string");
      } else {
        kept.set.name = std::move(value.text);
        kept.has_name = true;
      }
    } else {
      if (kept.has_enabled) {
        kept.set_refusal = duplicate_field("enabled");
      } else if (value.kind != FoundValue::Kind::Boolean) {
        kept.set_refusal = invalid_type(value, "a boolean");
      } else {
        kept.set.enabled = value.boolean;
        kept.has_enabled = true;
      }
    }
  }
  in_.close();
  if (!kept.set_refusal && !kept.has_name) kept.set_refusal = missing_field("name");
  if (!kept.set_refusal && !kept.has_enabled) kept.set_refusal = missing_field("enabled");
  return true;
}

bool RequestReader::read_kept_member(FoundValue& value) {
  const int c = in_.skip_blanks();
  if (c == '[' || c == '{') {
    value.kind = c == '[' ? FoundValue::Kind::Sequence : FoundValue::Kind::Map;
    return in_.skip_value(json::Check::Converted);
  }
  return in_.read_scalar(value);
}

std::optional<std::string> RequestReader::apply_kept_args(KeptArgs& kept, Variant variant, HelperAction& action) {
  if (variant == Variant::StartupHklmSet) {
    if (kept.value.kind != FoundValue::Kind::Map) return invalid_type(kept.value, kExpectSetArgs);
    if (kept.set_refusal) return kept.set_refusal;
    action = std::move(kept.set);
    return std::nullopt;
  }
  if (kept.value.kind != FoundValue::Kind::Null) {
    return invalid_type(kept.value, unit_expectation(variant == Variant::CleanSystem));
  }
  if (variant == Variant::CleanSystem) {
    action = CleanSystem{};
  } else {
    action = StartupHklmList{};
  }
  return std::nullopt;
}

}  // namespace tarnwick

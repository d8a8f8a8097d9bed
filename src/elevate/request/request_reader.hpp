#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "elevate/request/json/cursor.hpp"
#include "elevate/request/json/found_value.hpp"
#include "elevate/request/request.hpp"
#include "elevate/request/set_arguments.hpp"

namespace tarnwick {

// Third layer of a request: the JSON text to a HelperRequest, accepting
// exactly the request shapes the desktop app may write (plain and array
// forms, tags as strings or as {"name":null}, "args" before or after
// "action", other members ignored) and refusing everything else with the
// message and position of the first fault.
class RequestReader {
 public:
  explicit RequestReader(std::string_view text) : in_(text) {}

  // Reads the whole text; on false, error() holds the refusal.
  bool read(HelperRequest& out);
  const json::ReadError& error() const { return *in_.error(); }

 private:
  // An "args" value read before the tag: read whole, then interpreted once
  // the tag is known. Holds what the interpretation needs for each action.
  struct KeptArgs {
    json::FoundValue value;  // of a Sequence or Map, only the kind
    // For StartupHklmSet, from a Map: the fields, or the first refusal.
    SetArguments set;
    std::optional<std::string> set_refusal;
  };

  bool read_request_object(HelperAction& action);
  bool read_request_array(HelperAction& action);
  bool read_action(HelperAction& action);
  bool read_action_object(HelperAction& action);
  bool read_action_array(HelperAction& action);
  bool end_one_element_array();

  bool read_tag(ActionKind& kind);
  bool read_wire_name(ActionKind& kind);
  bool read_args(ActionKind kind, HelperAction& action);
  bool read_set_args(HelperAction& action);

  bool read_kept_args(KeptArgs& kept);
  bool read_kept_map(KeptArgs& kept);
  bool read_kept_member(json::FoundValue& value);
  static std::optional<std::string> apply_kept_args(KeptArgs& kept, ActionKind kind, HelperAction& action);

  bool give_up_with(char close, std::string message);
  bool skip_ignored_member();

  json::Cursor in_;
};

}  // namespace tarnwick

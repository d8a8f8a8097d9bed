#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "elevate/protocol/json/cursor.hpp"
#include "elevate/protocol/request.hpp"

namespace tarnwick {

using json::FoundValue;
using json::invalid_type;

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
  enum class Variant { CleanSystem, StartupHklmList, StartupHklmSet };

  // An "args" value read before the tag: read whole, then interpreted once
  // the tag is known. Holds what the interpretation needs for each variant.
  struct KeptArgs {
    FoundValue value;  // of a Sequence or Map, only the kind
    // For StartupHklmSet, from a Map: the fields, or the first refusal.
    std::optional<std::string> set_refusal;
    StartupHklmSet set;
    bool has_name = false;
    bool has_enabled = false;
  };

  bool read_request_object(HelperAction& action);
  bool read_request_array(HelperAction& action);
  bool read_action(HelperAction& action);
  bool read_action_object(HelperAction& action);
  bool finish_after_tag(Variant variant, bool& first, HelperAction& action);
  bool finish_after_kept_args(KeptArgs& kept, bool& first, HelperAction& action);
  bool finish_action_object(bool& first);
  bool read_action_array(HelperAction& action);
  bool end_one_element_array();

  bool read_tag(Variant& variant);
  bool read_wire_name(Variant& variant);
  bool read_args(Variant variant, HelperAction& action);
  bool read_unit_args(Variant variant);
  bool read_set_args(StartupHklmSet& out);
  bool read_name(std::string& out);
  bool read_enabled(bool& out);

  bool read_kept_args(KeptArgs& kept);
  bool read_kept_map(KeptArgs& kept);
  bool read_kept_member(FoundValue& value);
  static std::optional<std::string> apply_kept_args(KeptArgs& kept, Variant variant, HelperAction& action);

  // Refusals by type, at the value at the cursor.
  bool refuse_scalar(std::string_view expected);
  bool refuse_unread(FoundValue::Kind kind, std::string_view expected);
  bool refuse_entered(FoundValue::Kind kind, std::string_view expected);
  bool give_up_with(char close, std::string message);
  bool skip_ignored_member();

  json::Cursor in_;
};

}  // namespace tarnwick

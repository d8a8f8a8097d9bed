#pragma once

// The requests the client sends, and their wire form: the compact JSON
// document as UTF-8, each byte as two lowercase hexadecimal digits.

#include <string>
#include <variant>

#include "client/client_error.hpp"

namespace tarnwick::client {

struct ListStartupEntries {};
struct SetStartupEnabled {
  std::string name;  // UTF-8, matched by the helper byte for byte
  bool enabled = true;
};
struct CleanSystem {};

using ClientRequest = std::variant<ListStartupEntries, SetStartupEnabled, CleanSystem>;

// {"action":{"action":WIRE}} or, for a set, {"action":{"action":"startup-hklm-set",
// "args":{"enabled":B,"name":S}}}, written by the JSON library (never by
// pasting text), so any name is escaped as JSON requires.
// InvalidRequest when the name is not valid UTF-8.
Outcome<std::string> request_json(const ClientRequest& request);

// request_json as the helper's first argument.
Outcome<std::string> request_hex(const ClientRequest& request);

}  // namespace tarnwick::client

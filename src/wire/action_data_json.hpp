#pragma once

// The "data" of each action's successful answer, built once for both sides:
// the helper writes it into the response, the client prints the same form.
// `Json` is the JSON library's document type (Json::object(), operator[] by
// key); the callers instantiate these in their .cpp files, so no header needs
// the library. Document objects: the members come out in key order, whatever
// the order here.

#include <cstdint>
#include <string>
#include <string_view>

#include "wire/protocol.hpp"

namespace tarnwick::wire {

// clean-system: {"removed_bytes":N}, N an unsigned number.
template <class Json>
Json clean_system_json(std::uint64_t removed_bytes) {
  Json data = Json::object();
  data[std::string(kMemberRemovedBytes)] = removed_bytes;  // std::uint64_t: an unsigned number
  return data;
}

// One entry of startup-hklm-list's array:
// {"command":..,"enabled":..,"name":..,"scope":..}; the scope is "hklm-run",
// the one the helper lists.
template <class Json>
Json startup_entry_json(const std::string& name, const std::string& command, bool enabled,
                        std::string_view scope = kScopeHklmRun) {
  Json object = Json::object();
  object[std::string(kMemberName)] = name;
  object[std::string(kMemberCommand)] = command;
  object[std::string(kMemberScope)] = std::string(scope);
  object[std::string(kMemberEnabled)] = enabled;
  return object;
}

// startup-hklm-set: {"enabled":..,"name":..}, the state just written.
template <class Json>
Json startup_set_json(const std::string& name, bool enabled) {
  Json data = Json::object();
  data[std::string(kMemberEnabled)] = enabled;
  data[std::string(kMemberName)] = name;
  return data;
}

}  // namespace tarnwick::wire

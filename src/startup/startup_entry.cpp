#include "startup/startup_entry.hpp"

namespace tarnwick {

const char* wire_name(StartupScope scope) {
  switch (scope) {
    case StartupScope::HkcuRun:
      return "hkcu-run";
    case StartupScope::HklmRun:
      return "hklm-run";
  }
  return "hklm-run";  // unreachable: the enumeration has two values
}

nlohmann::json to_json_value(const StartupEntry& entry) {
  // A document object: whatever the order here, the members are written in
  // key order ("command", "enabled", "name", "scope").
  nlohmann::json object = nlohmann::json::object();
  object["name"] = entry.name;
  object["command"] = entry.command;
  object["scope"] = wire_name(entry.scope);
  object["enabled"] = entry.enabled;
  return object;
}

nlohmann::json to_json_value(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  array.get_ref<nlohmann::json::array_t&>().reserve(entries.size());
  for (const StartupEntry& entry : entries) array.push_back(to_json_value(entry));
  return array;
}

}  // namespace tarnwick

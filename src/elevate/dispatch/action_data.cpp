#include "elevate/dispatch/action_data.hpp"

namespace tarnwick {

const char* wire_name(StartupScope scope) {
  switch (scope) {
    case StartupScope::HklmRun:
      return "hklm-run";
  }
  return "hklm-run";  // unreachable: the enumeration has one value
}

nlohmann::json clean_system_data(std::uint64_t removed_bytes) {
  nlohmann::json data = nlohmann::json::object();
  data["removed_bytes"] = removed_bytes;  // std::uint64_t: an unsigned number
  return data;
}

nlohmann::json startup_entry_data(const StartupEntry& entry) {
  // A document object: whatever the order here, the members are written in
  // key order ("command", "enabled", "name", "scope").
  nlohmann::json object = nlohmann::json::object();
  object["name"] = entry.name;
  object["command"] = entry.command;
  object["scope"] = wire_name(entry.scope);
  object["enabled"] = entry.enabled;
  return object;
}

nlohmann::json startup_list_data(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  array.get_ref<nlohmann::json::array_t&>().reserve(entries.size());
  for (const StartupEntry& entry : entries) array.push_back(startup_entry_data(entry));
  return array;
}

nlohmann::json startup_set_data(const std::string& name, bool enabled) {
  nlohmann::json data = nlohmann::json::object();
  data["enabled"] = enabled;
  data["name"] = name;
  return data;
}

}  // namespace tarnwick

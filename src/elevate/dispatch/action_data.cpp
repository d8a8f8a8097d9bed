#include "elevate/dispatch/action_data.hpp"

#include <nlohmann/json.hpp>

#include "wire/action_data_json.hpp"

namespace tarnwick {

const char* wire_name(StartupScope scope) {
  switch (scope) {
    case StartupScope::HklmRun:
      return wire::kScopeHklmRun.data();  // a literal: NUL-terminated
  }
  return wire::kScopeHklmRun.data();  // unreachable: the enumeration has one value
}

ResponseData clean_system_data(std::uint64_t removed_bytes) {
  return ResponseData::from_json(wire::clean_system_json<nlohmann::json>(removed_bytes));
}

ResponseData startup_list_data(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  array.get_ref<nlohmann::json::array_t&>().reserve(entries.size());
  for (const StartupEntry& entry : entries) {
    array.push_back(
        wire::startup_entry_json<nlohmann::json>(entry.name, entry.command, entry.enabled, wire_name(entry.scope)));
  }
  return ResponseData::from_json(array);
}

ResponseData startup_set_data(const std::string& name, bool enabled) {
  return ResponseData::from_json(wire::startup_set_json<nlohmann::json>(name, enabled));
}

}  // namespace tarnwick

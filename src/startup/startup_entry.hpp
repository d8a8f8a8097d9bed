#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnwick {

// Which Run key an entry comes from. The helper only ever serves HklmRun.
enum class StartupScope : std::uint8_t { HkcuRun = 0, HklmRun = 1 };

const char* wire_name(StartupScope scope);

struct StartupEntry {
  std::string name;     // Run value name; empty for the key's default value
  std::string command;  // the value's data in text form
  StartupScope scope = StartupScope::HklmRun;
  bool enabled = true;

  friend bool operator==(const StartupEntry&, const StartupEntry&) = default;
};

// {"command":..,"enabled":..,"name":..,"scope":..}: a document object, so the
// members come out in key order.
nlohmann::json to_json_value(const StartupEntry& entry);
nlohmann::json to_json_value(const std::vector<StartupEntry>& entries);

}  // namespace tarnwick

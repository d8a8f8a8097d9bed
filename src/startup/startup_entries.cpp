#include "startup/startup_entries.hpp"

#include <optional>
#include <utility>

namespace tarnwick {
namespace {

bool enabled_by(const Bytes* approved) {
  if (approved == nullptr || approved->empty()) return true;
  return ((*approved)[0] & 0x01) == 0;
}

}  // namespace

Result<std::vector<StartupEntry>, OsError> list_startup_entries(StartupRegistry& registry, StartupScope scope) {
  // The states first, all at once, then the Run values: no read per entry.
  auto approved = registry.approved_values(scope);
  if (!approved) return Err{std::move(approved).error()};
  auto values = registry.run_values(scope);
  if (!values) return Err{std::move(values).error()};

  std::vector<StartupEntry> entries;
  entries.reserve(values.value().size());
  for (auto& [name, command] : values.value()) {
    const bool enabled = enabled_by(approved.value().find(name));
    entries.push_back(StartupEntry{std::move(name), std::move(command), scope, enabled});
  }
  return entries;
}

std::array<std::uint8_t, 12> approved_state_bytes(bool enabled) {
  std::array<std::uint8_t, 12> bytes{};
  bytes[0] = enabled ? 0x02 : 0x03;
  return bytes;
}

Result<Done, OsError> set_startup_enabled(StartupRegistry& registry, const std::string& name, bool enabled) {
  const auto state = approved_state_bytes(enabled);
  return registry.set_approved_value(StartupScope::HklmRun, name, Bytes(state.begin(), state.end()));
}

}  // namespace tarnwick

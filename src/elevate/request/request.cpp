#include "elevate/request/request.hpp"

#include <cstddef>

#include "common/invariant.hpp"

namespace tarnwick {

std::optional<ActionKind> action_named(std::string_view wire_name) {
  for (std::size_t i = 0; i < kWireNames.size(); ++i) {
    if (kWireNames[i] == wire_name) return static_cast<ActionKind>(i);
  }
  return std::nullopt;
}

const char* wire_name(const HelperAction& action) {
  // The names are literals: each view is the whole of a NUL-terminated text.
  return kWireNames[action.index()].data();
}

HelperAction unit_action(ActionKind kind) {
  if (kind == ActionKind::StartupHklmSet) invariant_broken("startup-hklm-set has arguments");
  if (kind == ActionKind::CleanSystem) return CleanSystem{};
  return StartupHklmList{};
}

}  // namespace tarnwick

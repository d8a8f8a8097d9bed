#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "wire/protocol.hpp"

namespace tarnwick {

// The three actions a request can ask for. The wire names are the texts the
// desktop app writes in the request ("clean-system", ...).
struct CleanSystem {};
struct StartupHklmList {};
struct StartupHklmSet {
  std::string name;  // exactly as decoded: any bytes, empty included
  bool enabled = false;
};

using HelperAction = std::variant<CleanSystem, StartupHklmList, StartupHklmSet>;

struct HelperRequest {
  HelperAction action;
};

// Which action, without its arguments; in the order of HelperAction.
enum class ActionKind { CleanSystem, StartupHklmList, StartupHklmSet };

// Wire names by ActionKind: the one table of them.
inline constexpr std::array<std::string_view, 3> kWireNames = {wire::kActionCleanSystem, wire::kActionStartupHklmList,
                                                               wire::kActionStartupHklmSet};
static_assert(kWireNames.size() == std::variant_size_v<HelperAction>);

inline ActionKind kind_of(const HelperAction& action) { return static_cast<ActionKind>(action.index()); }

// nullopt for a name that is no action's (compared byte for byte).
std::optional<ActionKind> action_named(std::string_view wire_name);

// Wire name of the action held by `action`.
const char* wire_name(const HelperAction& action);

// The action of a kind that takes no arguments (CleanSystem, StartupHklmList).
HelperAction unit_action(ActionKind kind);

}  // namespace tarnwick

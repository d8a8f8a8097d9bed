#pragma once

#include <string>
#include <variant>

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

// Wire name of the action held by `action`.
const char* wire_name(const HelperAction& action);

}  // namespace tarnwick

#pragma once

#include <string>

namespace tarnwick::client {

// One machine-wide Run entry as the helper lists it (its scope: wire::kScopeHklmRun).
struct StartupEntry {
  std::string name;     // the Run value's name, UTF-8; empty for the key's default value
  std::string command;  // its data as text
  bool enabled = true;  // per StartupApproved

  friend bool operator==(const StartupEntry&, const StartupEntry&) = default;
};

}  // namespace tarnwick::client

#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// Which Run key an entry comes from: the machine-wide one, the only key the
// helper serves.
enum class StartupScope : std::uint8_t { HklmRun };

struct StartupEntry {
  std::string name;     // Run value name; empty for the key's default value
  std::string command;  // the value's data in text form
  StartupScope scope = StartupScope::HklmRun;
  bool enabled = true;

  friend bool operator==(const StartupEntry&, const StartupEntry&) = default;
};

}  // namespace tarnwick

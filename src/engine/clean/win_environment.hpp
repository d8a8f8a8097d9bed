#pragma once

// The process environment block, read with GetEnvironmentVariableW.

#include "engine/clean/clean_targets.hpp"

namespace tarnwick::clean {

class WinEnvironment final : public Environment {
 public:
  std::optional<std::u16string> variable(std::u16string_view name) const override;
};

}  // namespace tarnwick::clean

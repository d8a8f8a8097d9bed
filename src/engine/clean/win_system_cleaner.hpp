#pragma once

// "clean-system" on Windows: the cleaning engine over the real file system
// and the process environment. Holds no state; each call starts afresh.

#include "elevate/protocol/system_cleaner.hpp"

namespace tarnwick::clean {

class WinSystemCleaner final : public SystemCleaner {
 public:
  Result<std::uint64_t, EngineError> clean_system() override;
};

}  // namespace tarnwick::clean

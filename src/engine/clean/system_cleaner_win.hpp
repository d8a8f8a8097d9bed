#pragma once

// "clean-system" on Windows: the cleaning engine over the real file system
// and the system's own Windows directory. Holds no state; each call starts
// afresh.

#include "engine/clean/system_cleaner.hpp"

namespace tarnwick::clean {

class WinSystemCleaner final : public SystemCleaner {
 public:
  Result<std::uint64_t, OsError> clean_system() override;
};

}  // namespace tarnwick::clean

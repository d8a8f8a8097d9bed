#pragma once

// The cleaning engine as the dispatcher sees it: one operation, no arguments.

#include <cstdint>
#include <string>

#include "common/result.hpp"

namespace tarnwick {

// The cleaning engine's error record.
struct EngineError {
  std::string message;
};

class SystemCleaner {
 public:
  virtual ~SystemCleaner() = default;
  // Bytes freed, or the engine's error.
  virtual Result<std::uint64_t, EngineError> clean_system() = 0;
};

}  // namespace tarnwick

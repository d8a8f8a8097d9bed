#pragma once

#include <cstdint>
#include <string>

#include "common/result.hpp"

namespace tarnwick {

// The cleaning engine's error record.
struct EngineError {
  std::string message;
};

// Seam between the dispatcher and the cleaning engine.
class SystemCleaner {
 public:
  virtual ~SystemCleaner() = default;
  // Bytes removed, or the engine's error.
  virtual Result<std::uint64_t, EngineError> clean_system() = 0;
};

}  // namespace tarnwick

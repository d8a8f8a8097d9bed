#pragma once

// The cleaning engine as the dispatcher sees it: one operation, no arguments.

#include <cstdint>

#include "common/os_error.hpp"
#include "common/result.hpp"

namespace tarnwick {

class SystemCleaner {
 public:
  virtual ~SystemCleaner() = default;
  // Bytes freed, or the system's error when the run could not start at all
  // (the Windows directory could not be found). Failures to delete single
  // entries are not errors: they stay behind and count 0.
  virtual Result<std::uint64_t, OsError> clean_system() = 0;
};

}  // namespace tarnwick

#pragma once

// The engine behind "clean-system": targets, scan, deletion, space freed.

#include <cstdint>
#include <string>
#include <utility>

#include "engine/clean/file_system.hpp"
#include "engine/clean/system_cleaner.hpp"

namespace tarnwick::clean {

// Holds a reference to the file system it is lent and the Windows directory
// whose folders it empties; each run starts afresh.
class CleaningEngine final : public SystemCleaner {
 public:
  CleaningEngine(FileSystem& file_system, std::u16string windows_directory)
      : file_system_(file_system), windows_directory_(std::move(windows_directory)) {}

  // Opens and measures the targets, empties the non-empty ones through the
  // same handles and returns the space freed. Failures to delete are
  // described inside the run and dropped: the result is always a number.
  Result<std::uint64_t, OsError> clean_system() override;

 private:
  FileSystem& file_system_;
  std::u16string windows_directory_;
};

}  // namespace tarnwick::clean

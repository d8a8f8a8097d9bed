#include "engine/clean/system_cleaner_win.hpp"

#include <utility>

#include "engine/clean/cleaning_engine.hpp"
#include "engine/clean/file_system_win.hpp"
#include "engine/clean/windows_directory_win.hpp"

namespace tarnwick::clean {

Result<std::uint64_t, OsError> WinSystemCleaner::clean_system() {
  auto windows_directory = system_windows_directory();
  if (!windows_directory) return Err{windows_directory.error()};
  WinFileSystem file_system;
  return CleaningEngine(file_system, std::move(windows_directory).value()).clean_system();
}

}  // namespace tarnwick::clean

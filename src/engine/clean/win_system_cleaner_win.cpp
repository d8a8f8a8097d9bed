#include "engine/clean/win_system_cleaner.hpp"

#include "engine/clean/cleaning_engine.hpp"
#include "engine/clean/win_file_system.hpp"
#include "engine/clean/win_windows_directory.hpp"
#include <utility>

#include "platform/win/os_error_text.hpp"

namespace tarnwick::clean {

Result<std::uint64_t, EngineError> WinSystemCleaner::clean_system() {
  auto windows_directory = system_windows_directory();
  if (!windows_directory) return Err{EngineError{win::os_error_text(windows_directory.error())}};
  WinFileSystem file_system;
  return CleaningEngine(file_system, std::move(windows_directory).value()).clean_system();
}

}  // namespace tarnwick::clean

#include "engine/clean/win_system_cleaner.hpp"

#include "engine/clean/cleaning_engine.hpp"
#include "engine/clean/win_environment.hpp"
#include "engine/clean/win_file_system.hpp"

namespace tarnwick::clean {

Result<std::uint64_t, EngineError> WinSystemCleaner::clean_system() {
  WinFileSystem file_system;
  const WinEnvironment environment;
  return CleaningEngine(file_system, environment).clean_system();
}

}  // namespace tarnwick::clean

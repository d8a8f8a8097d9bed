#include "engine/clean/file_system_win.hpp"

#include "engine/clean/nt_file_win.hpp"
#include "engine/clean/open_entry_win.hpp"
#include "engine/clean/system_path_win.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::clean {

Result<std::unique_ptr<OpenEntry>, OsError> WinFileSystem::open_target(std::u16string_view path) {
  const auto system = win_system_path(path);
  if (!system) return Err{system.error()};
  // The right to list it with the handle that reads what it is: one open per
  // target, whose listing then reads the very folder whose attributes were
  // checked. No right to delete it.
  const HANDLE opened =
      ::CreateFileW(system.value().c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, nt::kShareAll,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Err{OsError{::GetLastError()}};
  win::UniqueKernelHandle handle(opened);  // owned before anything else can fail
  // Each target learns its volume's answers afresh.
  auto volume = std::make_shared<VolumeFacts>();
  return std::unique_ptr<OpenEntry>(
      std::make_unique<WinOpenEntry>(std::move(handle), std::move(volume), ListsThrough::OwnHandle));
}

void WinFileSystem::pause_before_retry() { ::SwitchToThread(); }

}  // namespace tarnwick::clean

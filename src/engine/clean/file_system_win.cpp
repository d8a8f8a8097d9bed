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

// Gives the rest of this time slice to another thread ready on the same
// processor, if there is one, and nothing more: with none ready (the usual
// case on a machine with several cores) it returns at once. So the tries on
// a sharing violation or a folder not yet empty wait for no other program:
// they let a handle closed or a deletion finished by a thread already
// running meanwhile be seen, and end within microseconds otherwise. By
// design: the helper never sleeps on another program's file.
void WinFileSystem::pause_before_retry() { ::SwitchToThread(); }

}  // namespace tarnwick::clean

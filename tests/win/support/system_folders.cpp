#include "win/support/system_folders.hpp"

#include <windows.h>

#include <stdexcept>

#include "win/support/folder_tree.hpp"
#include "win/support/machine_state.hpp"

namespace tarnwick::test {

std::wstring system_windows_directory_path() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetSystemWindowsDirectoryW failed");
  return std::wstring(buffer, length);
}

void empty_folder(const std::wstring& folder) {
  make_folder(folder);
  // Sorted, a folder comes before what it holds: backwards, the content goes first.
  const std::vector<std::wstring> entries = entries_under(folder);
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const std::wstring path = extended(folder + L"\\" + *it);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      ::SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ::RemoveDirectoryW(path.c_str());  // a link to a folder goes as itself
    } else {
      ::DeleteFileW(path.c_str());
    }
  }
}

OwnedSystemFolders::OwnedSystemFolders()
    : windows_(system_windows_directory_path()),
      temp_(windows_ + L"\\Temp"),
      download_(windows_ + L"\\SoftwareDistribution\\Download") {
  require_machine_state();
  empty_folder(temp_);
  empty_folder(download_);
  temp_leftovers_ = entries_under(temp_);
  if (!entries_under(download_).empty()) throw std::runtime_error("cannot empty SoftwareDistribution\\Download");
}

OwnedSystemFolders::~OwnedSystemFolders() {
  try {
    empty_folder(temp_);
    empty_folder(download_);
  } catch (...) {
    // A destructor must not throw; the next test empties them again.
  }
}

}  // namespace tarnwick::test

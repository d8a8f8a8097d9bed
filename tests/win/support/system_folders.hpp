#pragma once

// The cleaning targets of the system the tests run on (the Wine prefix's own
// C:\windows), which the Windows tests own while they run, as the registry
// tests own the Run keys: emptied before each test that cleans and after it.
// Only with the opt-in (win/support/machine_state.hpp): without it the
// constructor of OwnedSystemFolders throws.

#include <string>
#include <vector>

namespace tarnwick::test {

// GetSystemWindowsDirectoryW.
std::wstring system_windows_directory_path();

// Deletes everything inside the folder, the folder itself staying (made when
// missing). Names are handed over literally (`\\?\`), links are removed as
// links. Whatever will not go (the platform's own files held open) stays.
void empty_folder(const std::wstring& folder);

class OwnedSystemFolders {
 public:
  // Empties Temp and SoftwareDistribution\Download of the system's Windows
  // directory and notes what would not go.
  OwnedSystemFolders();
  // Empties both again.
  ~OwnedSystemFolders();
  OwnedSystemFolders(const OwnedSystemFolders&) = delete;
  OwnedSystemFolders& operator=(const OwnedSystemFolders&) = delete;

  const std::wstring& windows() const { return windows_; }
  const std::wstring& temp() const { return temp_; }
  const std::wstring& download() const { return download_; }
  // What stayed in Temp after it was emptied (relative paths, sorted): the
  // platform's own entries in use. A test expects them left as they were.
  const std::vector<std::wstring>& temp_leftovers() const { return temp_leftovers_; }

 private:
  std::wstring windows_;
  std::wstring temp_;
  std::wstring download_;
  std::vector<std::wstring> temp_leftovers_;
};

}  // namespace tarnwick::test

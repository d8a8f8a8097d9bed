#pragma once

// Real folder trees for the cleaning engine's Windows tests: made under a
// fresh temp folder, looked at without following links.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::test {

// The extended-length form of an absolute path, so that fixtures past
// MAX_PATH can be made on Windows too.
std::wstring extended(const std::wstring& path);

// Makes the folder and its missing parents.
void make_folder(const std::wstring& path);
// A file of `size` bytes (parents made as needed).
void make_file(const std::wstring& path, std::size_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// Whether an entry is there; a link at the end is not followed.
bool entry_exists(const std::wstring& path);
// Every entry beneath the folder as relative paths, sorted; links and other
// reparse points are listed but not entered.
std::vector<std::wstring> entries_under(const std::wstring& folder);

// Whether this file system deletes with FileDispositionInfoEx (POSIX
// semantics, read-only files too); tried on a scratch file in `dir`.
bool posix_delete_supported(const std::wstring& dir);

// Whether this is Wine, which keeps the name each entry was opened by and
// deletes by that name: an entry in a folder renamed since it was opened is
// missed (and a newcomer under the old name would be hit).
bool running_under_wine();

// Attempts to make a junction or a directory symbolic link at `link` to the
// folder `target`. nullopt when it exists as the link it should be; else
// why not, for GTEST_SKIP. Wine makes neither.
std::optional<std::string> make_junction(const std::wstring& link, const std::wstring& target);
std::optional<std::string> make_directory_symlink(const std::wstring& link, const std::wstring& target);

// Sets an environment variable of this process for the scope, then puts
// back what was there (GetEnvironmentVariableW reads the process block).
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value);  // value null: removed
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> saved_;
};

}  // namespace tarnwick::test

#include "win/support/run_folders.hpp"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "client/helper_runner_win.hpp"
#include "client/run_base.hpp"
#include "client/token_win.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::test {

std::wstring local_app_data() {
  PWSTR raw = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &raw);
  std::wstring path = SUCCEEDED(result) && raw != nullptr ? std::wstring(raw) : std::wstring();
  ::CoTaskMemFree(raw);
  if (path.empty()) throw std::runtime_error("SHGetKnownFolderPath(FOLDERID_LocalAppData) failed");
  return path;
}

std::wstring administrators_run_base() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) throw std::runtime_error("GetSystemWindowsDirectoryW failed");
  std::wstring path(buffer, length);
  if (path.back() != L'\\') path.push_back(L'\\');
  return path + std::wstring(client::kRunBaseName.begin(), client::kRunBaseName.end());
}

std::wstring run_base_of_this_process() {
  return client::process_is_administrator() ? administrators_run_base() : local_app_data();
}

std::vector<std::wstring> run_folders() {
  std::vector<std::wstring> names;
  for (const std::wstring& base : {local_app_data(), administrators_run_base()}) {
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = base + L"\\" + client::kRunFolderPrefix + L"*";
    win::UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) continue;
    do {
      names.emplace_back(data.cFileName);
    } while (::FindNextFileW(find.get(), &data));
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// The client tests of a process that holds Administrators make the
// administrators' base in the Windows directory, as the client does on
// first use. A base the suite made is removed again at its end (only when
// empty: the run folders in it are each test's to remove), so that a run on
// a contributor's PC leaves nothing in the Windows directory.
class RunBaseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    base_ = administrators_run_base();
    existed_ = ::GetFileAttributesW(base_.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void TearDown() override {
    if (existed_ || ::GetFileAttributesW(base_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!::RemoveDirectoryW(base_.c_str())) {
      std::fprintf(stderr, "run base: the suite made %ls and could not remove it (error %lu)\n", base_.c_str(),
                   ::GetLastError());
    }
  }

 private:
  std::wstring base_;
  bool existed_ = true;
};

// gtest owns the environment and runs it around all tests.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new RunBaseEnvironment);

}  // namespace

}  // namespace tarnwick::test

#include "win/support/run_folders.hpp"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>

#include "client/helper_runner_win.hpp"
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

std::vector<std::wstring> run_folders() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  const std::wstring pattern = local_app_data() + L"\\" + client::kRunFolderPrefix + L"*";
  win::UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) return names;
  do {
    names.emplace_back(data.cFileName);
  } while (::FindNextFileW(find.get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tarnwick::test

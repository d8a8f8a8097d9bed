#include "client/run_folder_win.hpp"

#include <bcrypt.h>
#include <shlobj.h>

#include <array>
#include <cctype>
#include <string_view>

#include "client/helper_runner_win.hpp"
#include "common/hex.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

Err<ClientError> launch_failed(const std::string& what, DWORD code) {
  return Err<ClientError>{
      ClientError{ErrorKind::LaunchFailed, what + ": " + win::os_error_text(code), std::nullopt, code, 0}};
}

std::string hex_text(std::uint32_t value) {
  std::string out = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(hex_digit(value >> shift)))));
  }
  return out;
}

Outcome<std::wstring> local_app_data() {
  PWSTR raw = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &raw);
  std::wstring path = SUCCEEDED(result) && raw != nullptr ? std::wstring(raw) : std::wstring();
  ::CoTaskMemFree(raw);  // also on failure, as the function asks
  if (path.empty()) {
    return client_error(ErrorKind::LaunchFailed, "the user's local application data folder is unknown (HRESULT " +
                                                     hex_text(static_cast<std::uint32_t>(result)) + ")");
  }
  return path;
}

// 128 bits from the system's generator, as 32 hexadecimal digits.
Outcome<std::wstring> random_name() {
  std::array<unsigned char, 16> bytes{};
  const NTSTATUS status =
      ::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) {
    return client_error(ErrorKind::LaunchFailed, "no random name for the response folder (BCryptGenRandom: NTSTATUS " +
                                                     hex_text(static_cast<std::uint32_t>(status)) + ")");
  }
  const std::string digits = hex_of(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return std::wstring(kRunFolderPrefix) + std::wstring(digits.begin(), digits.end());
}

}  // namespace

Outcome<RunFolder> RunFolder::create() {
  auto base = local_app_data();
  if (!base) return Err{std::move(base).error()};
  auto name = random_name();
  if (!name) return Err{std::move(name).error()};
  std::wstring folder = base.value() + L"\\" + name.value();
  // Fails on anything already there: the name is new or the run does not start.
  if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
    return launch_failed("cannot create the response folder", ::GetLastError());
  }
  std::wstring response_path = folder + L"\\response.json";
  win::UniqueFile response(::CreateFileW(response_path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!response) {
    const DWORD code = ::GetLastError();
    ::RemoveDirectoryW(folder.c_str());
    return launch_failed("cannot create the response file", code);
  }
  return RunFolder(std::move(folder), std::move(response_path), std::move(response));
}

RunFolder::RunFolder(RunFolder&& other) noexcept
    : folder_(std::exchange(other.folder_, std::wstring())),
      response_path_(std::move(other.response_path_)),
      response_(std::move(other.response_)) {}

void RunFolder::keep() {
  response_.reset();
  folder_.clear();
}

RunFolder::~RunFolder() {
  response_.reset();
  if (folder_.empty()) return;
  ::DeleteFileW(response_path_.c_str());
  ::RemoveDirectoryW(folder_.c_str());
}

}  // namespace tarnwick::client

#include "client/token_win.hpp"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::client {

bool process_is_elevated() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

std::optional<std::wstring> process_user_sid() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::nullopt;
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return std::nullopt;
  }
  std::wstring sid(text);
  ::LocalFree(text);
  return sid;
}

}  // namespace tarnwick::client

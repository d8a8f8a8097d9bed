#include "elevate/protocol/response_file_win.hpp"

#include <windows.h>

#include <algorithm>

#include "platform/win/unique_handle.hpp"
#include "platform/win/wide.hpp"

namespace tarnwick {

bool WinResponseWriter::write_response_file(std::string_view path, std::string_view bytes) {
  const auto wide_path = win::to_wide(path);
  if (!wide_path) return false;
  // OPEN_ALWAYS keeps an existing file (and its identity); it is emptied below.
  win::UniqueFile file(::CreateFileW(wide_path->c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  if (!::SetEndOfFile(file.get())) return false;

  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file.get(), next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

}  // namespace tarnwick

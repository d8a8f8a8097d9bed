// Windows entry point: gathers the command line and the real back-ends and
// hands them to the portable driver. Nothing else happens here.

#include <windows.h>

#include <string>

#include "elevate/response/response_file_win.hpp"
#include "elevate/run_helper.hpp"
#include "engine/clean/system_cleaner_win.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/system_text_win.hpp"
#include "platform/win/wide_win.hpp"
#include "startup/registry_hklm_win.hpp"

namespace {

// Standard error as raw bytes: no CRT text-mode translation of "\n".
class StandardError final : public tarnwick::ErrorStream {
 public:
  void write(std::string_view bytes) override {
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
      DWORD written = 0;
      if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
        return;
      }
      bytes.remove_prefix(written);
    }
  }
};

}  // namespace

int main() {
  // First of all: any DLL loaded from here on (by the system on the helper's
  // behalf, too) comes from System32, never from the exe's folder, the current
  // folder or PATH, where someone else could have put one.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  const std::wstring program = tarnwick::win::module_path();
  tarnwick::WinRegistryHklm registry;
  tarnwick::clean::WinSystemCleaner cleaner;
  tarnwick::WinResponseWriter response_writer;
  StandardError standard_error;
  // Returning from main runs the ordinary exit clean-up, then ExitProcess.
  return tarnwick::run_helper(tarnwick::win::as_utf16(::GetCommandLineW()), tarnwick::win::as_utf16(program),
                              {registry, cleaner, tarnwick::win::describe_os_error, response_writer, standard_error});
}

// tarnwick-client.exe: the Windows entry point. Gathers the arguments and the
// console and hands them to the portable run_cli; nothing else happens here.

#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "client/helper_runner_win.hpp"
#include "common/utf.hpp"
#include "platform/win/wide_win.hpp"

namespace {

using namespace tarnwick;

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// A console gets UTF-16 (any code page shows it right); a file or pipe gets
// the UTF-8 bytes unchanged.
void write_text(DWORD which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  if (is_console(handle)) {
    const std::u16string units = utf8_to_utf16(text).value_or(u"(text that is not UTF-8)\n");
    std::wstring_view rest = win::as_wide(units);
    while (!rest.empty()) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16384));
      if (!::WriteConsoleW(handle, rest.data(), chunk, &written, nullptr) || written == 0) return;
      rest.remove_prefix(written);
    }
    return;
  }
  while (!text.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
    if (!::WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

class WinConsole final : public cli::CliConsole {
 public:
  void out(std::string_view text) override { write_text(STD_OUTPUT_HANDLE, text); }
  void err(std::string_view text) override { write_text(STD_ERROR_HANDLE, text); }
  std::optional<std::size_t> width() override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) return std::nullopt;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns <= 0) return std::nullopt;
    return static_cast<std::size_t>(columns);
  }
};

std::unique_ptr<client::HelperRunner> make_runner(const cli::CliOptions& options, WinConsole& console) {
  client::LaunchOptions launch;
  // The path came in as UTF-16 and was converted strictly, so it converts back.
  launch.helper_path = options.helper_path ? win::to_wide(*options.helper_path).value_or(std::wstring())
                                           : client::helper_beside_this_program();
  launch.timeout = options.timeout;
  launch.elevate = !options.direct;
  launch.allow_replaceable_helper = options.allow_replaceable_helper;
  auto runner = std::make_unique<client::WinHelperRunner>(std::move(launch));
  if (options.verbose) {
    runner->on_launch([&console](client::LaunchMethod method, const std::wstring& helper) {
      console.err("tarnwick-client: starting " + utf16_to_utf8_lossy(win::as_utf16(helper)) + " with " +
                  std::string(client::launch_method_name(method)) + "\n");
    });
  }
  return runner;
}

int run(int argc, wchar_t** argv, WinConsole& console) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    auto text = utf16_to_utf8(win::as_utf16(argv[i]));
    if (!text) {
      console.err("tarnwick-client: usage error: argument " + std::to_string(i) + " is not valid Unicode text\n");
      return cli::kCliUsage;
    }
    args.push_back(std::move(*text));
  }
  return cli::run_cli(args, console,
                      [&console](const cli::CliOptions& options) { return make_runner(options, console); });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // First of all: any DLL loaded from here on (by the system on the client's
  // behalf, too) comes from System32, never from the exe's folder (Downloads,
  // say), the current folder or PATH.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  WinConsole console;
  // Nothing is expected to throw but exhausted memory; it still ends as a status.
  try {
    return run(argc, argv, console);
  } catch (const std::exception& e) {
    console.err(std::string("tarnwick-client: internal error: ") + e.what() + "\n");
  } catch (...) {
    console.err("tarnwick-client: internal error\n");
  }
  return cli::kCliInternalError;
}

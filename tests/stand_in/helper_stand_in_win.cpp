// A stand-in for tarnwick-helper.exe in the client's tests: it answers what
// the test sets in its environment, so that the client's handling of every
// kind of end can be shown without the real helper.
//
//   TARNWICK_STAND_IN_REPORT    file to write: the arguments, one per line,
//                               then "response file: N bytes" or "response file: missing",
//                               then "token: elevated" or "token: not elevated"
//   TARNWICK_STAND_IN_SLEEP_MS  wait this long first
//   TARNWICK_STAND_IN_RESPONSE  written to the response path (the second argument)
//   TARNWICK_STAND_IN_EXIT      the exit status (default 0)

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::optional<std::wstring> variable(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return std::nullopt;
  return std::wstring(buffer, length);
}

void write_file(const std::wstring& path, const std::string& bytes, DWORD disposition) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  ::SetEndOfFile(file);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

bool token_is_elevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
                        elevation.TokenIsElevated != 0;
  ::CloseHandle(token);
  return elevated;
}

std::string narrow(const std::wstring& text) {
  std::string out(static_cast<std::size_t>(text.size()) * 4, '\0');
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (const auto report = variable(L"TARNWICK_STAND_IN_REPORT")) {
    std::string text;
    for (int i = 1; i < argc; ++i) text += narrow(argv[i]) + "\n";
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (argc > 2 && ::GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data)) {
      text += "response file: " + std::to_string(data.nFileSizeLow) + " bytes\n";
    } else {
      text += "response file: missing\n";
    }
    text += token_is_elevated() ? "token: elevated\n" : "token: not elevated\n";
    write_file(*report, text, CREATE_ALWAYS);
  }
  if (const auto sleep = variable(L"TARNWICK_STAND_IN_SLEEP_MS")) ::Sleep(std::wcstoul(sleep->c_str(), nullptr, 10));
  if (const auto response = variable(L"TARNWICK_STAND_IN_RESPONSE"); response && argc > 2) {
    write_file(argv[2], narrow(*response), OPEN_EXISTING);
  }
  const auto status = variable(L"TARNWICK_STAND_IN_EXIT");
  return status ? static_cast<int>(std::wcstoul(status->c_str(), nullptr, 10)) : 0;
}

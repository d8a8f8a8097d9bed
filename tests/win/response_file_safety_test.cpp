// The response path comes from whoever started the helper, and the helper
// runs with administrator rights: it must never become a way to write where
// its caller may not, nor through a name the caller planted.

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win/unique_handle_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::test {
namespace {

// A request that fails to decode: status 1, no registry or file-system work.
const std::wstring kOddHex = L"7";
constexpr char kOddHexResponse[] = R"({"status":"err","error":"bad request payload: odd hex length"})";
constexpr char kPrecious[] = "precious content\r\n";

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

TEST(ResponseFileSafety, SecondHardLinkIsRefusedAndItsFileKeepsItsContent) {
  const std::wstring dir = make_temp_dir();
  const std::wstring victim = dir + L"\\victim.txt";
  const std::wstring planted = dir + L"\\response.json";
  write_file_bytes(victim, kPrecious);
  ASSERT_TRUE(::CreateHardLinkW(planted.c_str(), victim.c_str(), nullptr)) << ::GetLastError();

  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(planted));
  EXPECT_EQ(run.exit_code, 1u);  // the status still tells the outcome
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(read_file_bytes(victim), kPrecious);
  EXPECT_EQ(read_file_bytes(planted), kPrecious);
}

TEST(ResponseFileSafety, PathsThatAreNotPlainFilesAreRefusedWithoutHarm) {
  const std::wstring dir = make_temp_dir();
  const std::wstring subfolder = dir + L"\\folder";
  ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr));
  const std::vector<std::wstring> paths = {
      subfolder,
      subfolder + L"\\",
      L"\\\\.\\NUL",
      dir + L"\\NUL",
      dir + L"\\con.json",
      dir + L"\\aux.txt",
      dir + L"\\COM1",
      dir + L"\\lpt1.log",
      dir + L"\\nul .json",
      dir + L"\\r.json:ads",
      L"\\\\?\\GLOBALROOT\\Device\\Null",
  };
  for (const auto& path : paths) {
    const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(path));
    EXPECT_EQ(run.exit_code, 1u) << std::string(path.begin(), path.end());
    EXPECT_EQ(run.standard_error, "");
  }
  // Nothing was created beside the folder, and the folder is still empty.
  EXPECT_EQ(entries_under(dir), std::vector<std::wstring>{L"folder"});
}

TEST(ResponseFileSafety, SymbolicLinkAtTheResponsePathIsNotFollowed) {
  const std::wstring dir = make_temp_dir();
  const std::wstring victim = dir + L"\\victim.txt";
  const std::wstring planted = dir + L"\\response.json";
  write_file_bytes(victim, kPrecious);
  if (!::CreateSymbolicLinkW(planted.c_str(), victim.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
      (::GetFileAttributesW(planted.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
      ::GetFileAttributesW(planted.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system made no file symbolic link (Wine makes none; Windows needs developer mode or "
                    "an elevated test run), error "
                 << ::GetLastError();
  }
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(planted));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(victim), kPrecious);
}

// --- The caller's own rights decide (Windows only) -------------------------

std::optional<std::string> why_not_elevated() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return "cannot read this process's token";
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) ||
      elevation.TokenIsElevated == 0) {
    return "the test run is not elevated: this test starts the helper elevated under an unelevated parent";
  }
  return std::nullopt;
}

// A primary token like an unelevated app's: this process's own, without
// administrator rights, at medium integrity.
win::UniqueKernelHandle unelevated_primary_token() {
  win::UniqueKernelHandle own;
  win::UniqueKernelHandle restricted;
  BYTE admins[SECURITY_MAX_SID_SIZE];
  BYTE medium[SECURITY_MAX_SID_SIZE];
  DWORD admins_size = sizeof(admins);
  DWORD medium_size = sizeof(medium);
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, own.put()) ||
      !::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &admins_size) ||
      !::CreateWellKnownSid(WinMediumLabelSid, nullptr, medium, &medium_size)) {
    return {};
  }
  SID_AND_ATTRIBUTES deny_only{admins, 0};
  if (!::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &deny_only, 0, nullptr, 0, nullptr,
                               restricted.put())) {
    return {};
  }
  TOKEN_MANDATORY_LABEL label{{medium, SE_GROUP_INTEGRITY}};
  if (!::SetTokenInformation(restricted.get(), TokenIntegrityLevel, &label, sizeof(label) + ::GetLengthSid(medium))) {
    return {};
  }
  return restricted;
}

// Starts the helper with this process's (elevated) identity but with
// `parent` as its parent process, the way the consent service starts an
// elevated program for an unelevated app. Returns the exit status.
DWORD run_helper_under_parent(HANDLE parent, const std::wstring& arguments) {
  win::UniqueKernelHandle own;
  win::UniqueKernelHandle primary;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, own.put()));
  EXPECT_TRUE(
      ::DuplicateTokenEx(own.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, primary.put()));
  const StartedProcess helper = start_helper_under_parent(parent, arguments, 0, primary.get());
  EXPECT_TRUE(helper.process) << "CreateProcessAsUserW: " << ::GetLastError();
  if (!helper.process) return ~DWORD{0};
  ::WaitForSingleObject(helper.process.get(), INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(helper.process.get(), &status);
  return status;
}

TEST(ResponseFileSafety, FileTheCallerMayNotWriteKeepsItsContent) {
  if (running_under_wine()) GTEST_SKIP() << "Wine does not enforce file ACLs or integrity levels";
  if (auto why = why_not_elevated()) GTEST_SKIP() << *why;

  // A folder only administrators and the system may write, like C:\Windows.
  const std::wstring dir = make_temp_dir() + L"\\admins-only";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
                                                                     SDDL_REVISION_1, &descriptor, nullptr));
  SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
  const BOOL made = ::CreateDirectoryW(dir.c_str(), &security);
  ::LocalFree(descriptor);
  ASSERT_TRUE(made) << ::GetLastError();
  const std::wstring victim = dir + L"\\victim.ini";
  write_file_bytes(victim, kPrecious);

  // The unelevated "app": the helper exe itself, started suspended so that it
  // never runs but stays alive as the parent.
  const win::UniqueKernelHandle token = unelevated_primary_token();
  ASSERT_TRUE(token) << ::GetLastError();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring line = quoted(helper_exe_path());
  PROCESS_INFORMATION app{};
  ASSERT_TRUE(::CreateProcessAsUserW(token.get(), helper_exe_path().c_str(), line.data(), nullptr, nullptr, FALSE,
                                     CREATE_SUSPENDED, nullptr, nullptr, &startup, &app))
      << ::GetLastError();
  const win::UniqueKernelHandle app_process(app.hProcess);
  const win::UniqueKernelHandle app_thread(app.hThread);

  const DWORD status = run_helper_under_parent(app_process.get(), kOddHex + L" " + quoted(victim));
  ::TerminateProcess(app_process.get(), 0);
  EXPECT_EQ(status, 1u);
  EXPECT_EQ(read_file_bytes(victim), kPrecious);

  // The same path from an elevated parent (this test) is written: the
  // caller's rights decided, not a blanket refusal.
  EXPECT_EQ(run_helper_exe(kOddHex + L" " + quoted(victim)).exit_code, 1u);
  EXPECT_EQ(read_file_bytes(victim), kOddHexResponse);
}

}  // namespace
}  // namespace tarnwick::test

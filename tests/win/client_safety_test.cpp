// What the client does before it gives the helper administrator rights, and
// the folder it hands the helper: a helper the user could replace is
// refused; the run folder is the client's own, held and removed through
// handles.

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "client/helper_runner_win.hpp"
#include "client/replaceable_helper_win.hpp"
#include "client/run_folder_win.hpp"
#include "client/token_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/run_folders.hpp"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using client::ErrorKind;
using client::LaunchOptions;
using client::WinHelperRunner;

// Under Wine every folder is the user's, so the base of a run that holds
// Administrators needs the development allowance there (its refusal has
// tests of its own, client_run_base_test.cpp); on Windows it is checked.
bool allow_changeable_base() { return running_under_wine(); }

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

// The SID, as text, of an account named as LookupAccountSidW names it
// ("DOMAIN\name", in the system's language); empty when it is no account.
std::wstring sid_of_account(const std::string& utf8_name) {
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_name.data(),
                                          static_cast<int>(utf8_name.size()), nullptr, 0);
  if (units <= 0) return L"";
  std::wstring name(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_name.data(), static_cast<int>(utf8_name.size()),
                        name.data(), units);
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof sid;
  wchar_t domain[256];
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  if (!::LookupAccountNameW(nullptr, name.c_str(), sid, &sid_size, domain, &domain_size, &use)) return L"";
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return L"";
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

// The SDDL flags of a DACL that NTFS may add when it stores one ("AI",
// auto-inherited, beside the "P" asked for) are not what the test checks.
std::wstring without_auto_inherited(std::wstring sddl) {
  const std::size_t at = sddl.find(L"D:PAI(");
  if (at != std::wstring::npos) sddl.erase(at + 3, 2);
  return sddl;
}

// A copy of the stand-in in `folder`.
std::wstring stand_in_copy(const std::wstring& folder) {
  const std::wstring copy = folder + L"\\tarnwick-helper.exe";
  EXPECT_TRUE(::CopyFileW(exe_beside_tests(L"helper-stand-in.exe").c_str(), copy.c_str(), TRUE)) << ::GetLastError();
  return copy;
}

TEST(ReplaceableHelper, AHelperInAFolderOfTheUsersIsRefusedBeforeAnythingStarts) {
  const std::wstring folder = make_temp_dir();
  const std::wstring helper = stand_in_copy(folder);
  const std::wstring report = folder + L"\\report.txt";
  ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_REPORT", report.c_str());
  const auto before = run_folders();
  for (const bool elevate : {true, false}) {
    if (!elevate && !client::process_is_elevated()) continue;  // an unelevated direct start raises nothing
    WinHelperRunner runner(LaunchOptions{helper, 60s, elevate});
    const auto exit = runner.run("7b7d", client::Rights::Admin);
    ASSERT_FALSE(exit.ok());
    EXPECT_EQ(exit.error().kind, ErrorKind::LaunchFailed);
    const std::string& message = exit.error().message;
    EXPECT_EQ(message.rfind("refusing to start the helper " + narrow(helper), 0), 0u) << message;
    EXPECT_NE(message.find("could be replaced without them"), std::string::npos) << message;
    EXPECT_NE(message.find("--allow-replaceable-helper"), std::string::npos) << message;
  }
  ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_REPORT", nullptr);
  EXPECT_FALSE(file_exists(report)) << "the helper was started";
  EXPECT_EQ(run_folders(), before) << "a run folder was made";
}

// A folder under ProgramData (whose own entries let users add, not replace)
// with a protected list: Administrators and SYSTEM full control, Users read
// and run. Removed again at the end.
class AdministratorsOnlyFolder {
 public:
  AdministratorsOnlyFolder() {
    wchar_t base[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    path_ = std::wstring(base, length) + L"\\tarnwick-test-" + std::to_wstring(::GetCurrentProcessId());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1, &descriptor, nullptr)) {
      return;
    }
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    made_ = ::CreateDirectoryW(path_.c_str(), &security) != FALSE;
    ::LocalFree(descriptor);
  }
  ~AdministratorsOnlyFolder() {
    if (!made_) return;
    ::DeleteFileW((path_ + L"\\tarnwick-helper.exe").c_str());
    ::RemoveDirectoryW(path_.c_str());
  }
  bool made() const { return made_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  bool made_ = false;
};

TEST(ReplaceableHelper, AHelperOnlyAdministratorsCanReplaceIsAcceptedAndOneGrantGivesItAway) {
  if (running_under_wine()) {
    GTEST_SKIP() << "Wine enforces no access lists and makes every file the user's: no helper is safe there";
  }
  if (!client::process_is_elevated()) GTEST_SKIP() << "needs an elevated run to make a folder only administrators own";
  const AdministratorsOnlyFolder folder;
  ASSERT_TRUE(folder.made()) << ::GetLastError();
  const std::wstring helper = stand_in_copy(folder.path());

  const auto accepted = client::refuse_replaceable_helper(helper);
  EXPECT_TRUE(accepted.ok()) << accepted.error().message;

  // Users may now delete what the folder holds: the helper can be swapped.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;;0x40;;;BU)", SDDL_REVISION_1, &descriptor,
      nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  std::wstring path = folder.path();
  const DWORD set = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  ASSERT_EQ(set, static_cast<DWORD>(ERROR_SUCCESS));
  const auto refused = client::refuse_replaceable_helper(helper);
  ASSERT_FALSE(refused.ok());
  // The group is named in the system's language ("BUILTIN\Users",
  // "VORDEFINIERT\Benutzer"): the name given must be the Users SID's.
  const std::string& message = refused.error().message;
  const std::string before = narrow(folder.path()) + " grants ";
  const std::string after = " delete a child";
  const std::size_t start = message.find(before);
  ASSERT_NE(start, std::string::npos) << message;
  const std::size_t end = message.find(after, start + before.size());
  ASSERT_NE(end, std::string::npos) << message;
  EXPECT_EQ(sid_of_account(message.substr(start + before.size(), end - start - before.size())), L"S-1-5-32-545")
      << message;
}

TEST(RunFolder, IsHeldWhileTheRunLastsAndRemovedThroughItsHandles) {
  const auto before = run_folders();
  std::wstring folder;
  {
    auto created = client::RunFolder::create(allow_changeable_base());
    ASSERT_TRUE(created.ok()) << created.error().message;
    const std::wstring& response = created.value().response_path();
    folder = response.substr(0, response.find_last_of(L'\\'));
    EXPECT_TRUE(file_exists(response));
    EXPECT_EQ(read_file_bytes(response), "");
    // Neither the folder nor the file can be renamed or removed meanwhile.
    EXPECT_FALSE(::MoveFileW(folder.c_str(), (folder + L"-moved").c_str()));
    EXPECT_FALSE(::MoveFileW(response.c_str(), (folder + L"\\moved.json").c_str()));
    EXPECT_FALSE(::DeleteFileW(response.c_str()));
  }
  EXPECT_FALSE(file_exists(folder));
  EXPECT_EQ(run_folders(), before);
}

TEST(RunFolder, GrantsOnlyTheIdentityThatReadsIt) {
  if (running_under_wine()) GTEST_SKIP() << "Wine keeps no access lists on the folders it creates";
  auto created = client::RunFolder::create(allow_changeable_base());
  ASSERT_TRUE(created.ok()) << created.error().message;
  // The client's own handle carries no READ_CONTROL: the folder is opened
  // again by its path (which cannot change while the client holds it), for
  // READ_CONTROL alone, which no share mode withholds.
  const std::wstring& response = created.value().response_path();
  const std::wstring folder = response.substr(0, response.find_last_of(L'\\'));
  const win::UniqueFile readable(::CreateFileW(folder.c_str(), READ_CONTROL,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(readable) << ::GetLastError();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetSecurityInfo(readable.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  LPWSTR sddl = nullptr;
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
      descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr));
  const std::wstring text = without_auto_inherited(sddl);
  ::LocalFree(sddl);
  ::LocalFree(descriptor);
  // Decided by Administrators membership, not by elevation.
  if (client::process_is_administrator()) {
    EXPECT_EQ(text, L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
  } else {
    const auto user = client::process_user_sid();
    ASSERT_TRUE(user);
    EXPECT_EQ(text, L"O:" + *user + L"D:P(A;OICI;FA;;;" + *user + L")");
  }
}

}  // namespace
}  // namespace tarnwick::test

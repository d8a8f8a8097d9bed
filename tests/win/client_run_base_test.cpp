// Where a client that holds Administrators makes its run folders: in
// tarnwick-runs in the system's Windows directory, opened from the volume's
// root down without following a link, and refused where the user's
// processes without administrator rights could change a folder on the way
// (the rules themselves are table-tested on the host, RunBase.*).

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "client/run_base_win.hpp"
#include "client/token_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/run_folders.hpp"

namespace tarnwick::test {
namespace {

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

// The owner and access list of what the handle names, as SDDL.
std::wstring security_text(HANDLE handle) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"(unreadable)";
  }
  LPWSTR sddl = nullptr;
  std::wstring text = L"(unconvertible)";
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    text = sddl;
    ::LocalFree(sddl);
  }
  ::LocalFree(descriptor);
  return text;
}

TEST(RunBase, WithTheDevelopmentAllowanceTheAdministratorsBaseIsTheWindowsDirectorysOwnFolder) {
  if (!client::process_is_administrator()) GTEST_SKIP() << "only administrators may make a folder there";
  const auto base = client::open_administrators_run_base(true);
  ASSERT_TRUE(base.ok()) << base.error().message;
  EXPECT_EQ(base.value().path, administrators_run_base());
  EXPECT_TRUE(entry_exists(administrators_run_base()));
}

TEST(RunBase, UnderWineEveryFolderIsTheUsersSoTheBaseIsRefusedWithoutTheAllowance) {
  if (!running_under_wine()) {
    GTEST_SKIP() << "on Windows the Windows directory's folder passes the check "
                    "(RunBase.TheWindowsDirectoryBaseIsAcceptedAndOnlyAdministratorsMayChangeIt)";
  }
  const auto base = client::open_administrators_run_base(false);
  ASSERT_FALSE(base.ok());
  EXPECT_EQ(base.error().kind, client::ErrorKind::LaunchFailed);
  const std::string& message = base.error().message;
  EXPECT_EQ(message.rfind("refusing to make the run folder of a helper with administrator rights in " +
                              narrow(administrators_run_base()),
                          0),
            0u)
      << message;
  EXPECT_NE(message.find("--allow-replaceable-helper"), std::string::npos) << message;

  // Any folder of the user's alike; the allowance takes it.
  const std::wstring temp = make_temp_dir();
  const auto refused = client::open_checked_folder(temp, false);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().message.find("could be changed without them"), std::string::npos)
      << refused.error().message;
  EXPECT_TRUE(client::open_checked_folder(temp, true).ok());
}

TEST(RunBase, ALinkOnTheWayIsRefusedEvenWithTheAllowance) {
  const std::wstring temp = make_temp_dir();
  make_folder(temp + L"\\target\\runs");
  const auto not_made = make_junction(temp + L"\\link", temp + L"\\target");
  if (not_made) GTEST_SKIP() << *not_made;
  const auto refused = client::open_checked_folder(temp + L"\\link\\runs", true);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().message.find(narrow(temp) + "\\link is a link or other reparse point"), std::string::npos)
      << refused.error().message;
  EXPECT_TRUE(client::open_checked_folder(temp + L"\\target\\runs", true).ok());
}

TEST(RunBase, TheWindowsDirectoryBaseIsAcceptedAndOnlyAdministratorsMayChangeIt) {
  if (running_under_wine()) GTEST_SKIP() << "Wine keeps no access lists and makes every file the user's";
  if (!client::process_is_administrator()) GTEST_SKIP() << "needs a run that holds Administrators";
  const auto base = client::open_administrators_run_base(false);
  ASSERT_TRUE(base.ok()) << base.error().message;
  const std::wstring security = security_text(base.value().handle.get());
  // Owned by Administrators; Administrators and SYSTEM alone, nothing inherited.
  EXPECT_EQ(security.rfind(L"O:BAD:P", 0), 0u) << narrow(security);
  EXPECT_EQ(security.substr(security.find(L'(')), L"(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)") << narrow(security);
}

// A folder under ProgramData with Administrators and SYSTEM alone, and a
// folder in it; removed again at the end.
class AdministratorsOnlyFolders {
 public:
  AdministratorsOnlyFolders() {
    wchar_t base[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramData", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    outer_ = std::wstring(base, length) + L"\\tarnwick-base-test-" + std::to_wstring(::GetCurrentProcessId());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
                                                                SDDL_REVISION_1, &descriptor, nullptr)) {
      return;
    }
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    made_ = ::CreateDirectoryW(outer_.c_str(), &security) && ::CreateDirectoryW(inner().c_str(), &security);
    ::LocalFree(descriptor);
  }
  ~AdministratorsOnlyFolders() {
    ::RemoveDirectoryW(inner().c_str());
    ::RemoveDirectoryW(outer_.c_str());
  }
  AdministratorsOnlyFolders(const AdministratorsOnlyFolders&) = delete;
  AdministratorsOnlyFolders& operator=(const AdministratorsOnlyFolders&) = delete;
  bool made() const { return made_; }
  const std::wstring& outer() const { return outer_; }
  std::wstring inner() const { return outer_ + L"\\runs"; }

 private:
  std::wstring outer_;
  bool made_ = false;
};

TEST(RunBase, AFolderAboveThatUsersMayEmptyGivesTheBaseAway) {
  if (running_under_wine()) GTEST_SKIP() << "Wine keeps no access lists and makes every file the user's";
  if (!client::process_is_administrator()) GTEST_SKIP() << "needs a run that holds Administrators";
  const AdministratorsOnlyFolders folders;
  ASSERT_TRUE(folders.made()) << ::GetLastError();
  const auto accepted = client::open_checked_folder(folders.inner(), false);
  EXPECT_TRUE(accepted.ok()) << accepted.error().message;

  // Users may now delete what the outer folder holds: the base can be
  // renamed away and a link put in its place.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;;0x40;;;BU)", SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  std::wstring path = folders.outer();
  const DWORD set = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                            nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  ASSERT_EQ(set, static_cast<DWORD>(ERROR_SUCCESS));
  const auto refused = client::open_checked_folder(folders.inner(), false);
  ASSERT_FALSE(refused.ok());
  // The group's name is localised: the path and the right are not.
  EXPECT_NE(refused.error().message.find(narrow(folders.outer()) + " grants "), std::string::npos)
      << refused.error().message;
  EXPECT_NE(refused.error().message.find(" delete a child"), std::string::npos) << refused.error().message;
}

}  // namespace
}  // namespace tarnwick::test

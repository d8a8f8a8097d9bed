// "clean-system" through the helper exe: the system's own Windows directory
// (the test prefix's C:\windows), whatever WINDIR the caller hands it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win/unique_handle_win.hpp"
#include "support/hex.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/system_folders.hpp"

namespace tarnwick::test {
namespace {

// Runs clean-system with the given WINDIR in the child's environment and
// gives the response file.
std::string clean_system(const std::wstring& windir) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  const std::wstring request = widen_ascii(hex_of(R"({"action":{"action":"clean-system"}})"));
  const HelperRun run = run_helper_exe(request + L" \"" + response + L"\"", {{L"WINDIR", windir}});
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.standard_error, "");
  return read_file_bytes(response);
}

std::string removed(std::uint64_t bytes) {
  return R"({"status":"ok","data":{"removed_bytes":)" + std::to_string(bytes) + "}}";
}

// Any user can point WINDIR at a folder of theirs, with a link to anywhere
// as its Temp (on Windows). The helper empties the system's folders instead
// and never touches that one.
TEST(CleanExe, ADecoyWindirIsLeftAloneAndTheSystemsOwnFoldersAreCleaned) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const OwnedSystemFolders system;
  const std::wstring decoy = make_temp_dir() + L"\\x";
  make_file(decoy + L"\\Temp\\victim.dat", 4096);
  make_file(decoy + L"\\Temp\\sub\\victim.dat", 4096);
  make_file(decoy + L"\\SoftwareDistribution\\Download\\victim.cab", 4096);
  make_file(system.temp() + L"\\a.tmp", 100);
  make_file(system.temp() + L"\\b.tmp", 23);
  make_file(system.download() + L"\\update.cab", 1000);

  EXPECT_EQ(clean_system(decoy), removed(1123));
  EXPECT_EQ(entries_under(decoy),
            (std::vector<std::wstring>{L"SoftwareDistribution", L"SoftwareDistribution\\Download",
                                       L"SoftwareDistribution\\Download\\victim.cab", L"Temp", L"Temp\\sub",
                                       L"Temp\\sub\\victim.dat", L"Temp\\victim.dat"}));
  EXPECT_EQ(entries_under(system.temp()), system.temp_leftovers());
  EXPECT_TRUE(entries_under(system.download()).empty());
}

TEST(CleanExe, AnswersTheSpaceFreedByFilesAtAnyDepth) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const OwnedSystemFolders system;
  make_file(system.temp() + L"\\file.tmp", 100);
  make_file(system.temp() + L"\\sub\\a", 600);
  make_file(system.temp() + L"\\sub\\deeper\\b", 400);
  EXPECT_EQ(clean_system(L"C:\\windows"), removed(1100));
  EXPECT_EQ(entries_under(system.temp()), system.temp_leftovers());
}

TEST(CleanExe, DeletesDeviceNamedEntriesInTemp) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const OwnedSystemFolders system;
  make_file(system.temp() + L"\\NUL", 1);
  make_file(system.temp() + L"\\con", 2);
  make_file(system.temp() + L"\\COM1", 4);
  make_file(system.temp() + L"\\aux.txt", 8);
  make_file(system.temp() + L"\\PRN\\inner", 16);
  for (const wchar_t* name : {L"\\NUL", L"\\con", L"\\COM1", L"\\aux.txt", L"\\PRN"}) {
    ASSERT_TRUE(entry_exists(system.temp() + name));
  }
  EXPECT_EQ(clean_system(L"C:\\windows"), removed(31));
  EXPECT_EQ(entries_under(system.temp()), system.temp_leftovers());
}

TEST(CleanExe, AFileHeldOpenWithoutDeleteSharingStaysAndIsNotCounted) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const OwnedSystemFolders system;
  const std::wstring held_path = system.temp() + L"\\setup.log";
  make_file(held_path, 10);
  make_file(system.temp() + L"\\free.tmp", 5);
  const win::UniqueFile held(::CreateFileW(held_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  EXPECT_EQ(clean_system(L"C:\\windows"), removed(5));
  std::vector<std::wstring> left = system.temp_leftovers();
  left.push_back(L"setup.log");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(entries_under(system.temp()), left);
}

TEST(CleanExe, AnswersZeroWhenBothTargetsAreEmpty) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const OwnedSystemFolders system;
  EXPECT_EQ(clean_system(L"C:\\windows"), removed(0));
}

}  // namespace
}  // namespace tarnwick::test

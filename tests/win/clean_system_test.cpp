// "clean-system" on real folders: the system's own Windows directory whatever
// WINDIR says, what goes, what stays, what is counted, and how a failure is
// described.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/clean/cleaning_engine.hpp"
#include "engine/clean/delete_scanned.hpp"
#include "engine/clean/scan.hpp"
#include "engine/clean/file_system_win.hpp"
#include "engine/clean/system_cleaner_win.hpp"
#include "engine/clean/windows_directory_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/system_folders.hpp"

namespace tarnwick::clean {
namespace {

using test::entries_under;
using test::entry_exists;
using test::make_file;
using test::make_folder;
using test::ScopedVariable;

std::u16string u16(const std::wstring& path) { return std::u16string(win::as_utf16(path)); }

std::uint64_t clean_system() {
  WinSystemCleaner cleaner;
  const auto removed = static_cast<SystemCleaner&>(cleaner).clean_system();
  EXPECT_TRUE(removed.ok());
  return removed.ok() ? removed.value() : 0;
}

// The engine over a Windows directory of the test's own (links, which only
// real Windows makes, are tried there and never in the system's folders).
std::uint64_t clean_under(const std::wstring& windows) {
  WinFileSystem fs;
  const auto removed = CleaningEngine(fs, u16(windows)).clean_system();
  EXPECT_TRUE(removed.ok());
  return removed.ok() ? removed.value() : 0;
}

// What a Windows directory holds besides the two targets.
void add_system_files(const std::wstring& windir) {
  make_file(windir + L"\\System32\\kernel32.dll", 4096);
  make_file(windir + L"\\SoftwareDistribution\\DataStore\\DataStore.edb", 10);
  make_file(windir + L"\\notepad.exe", 20);
}
const std::vector<std::wstring> kSystemFiles = {L"SoftwareDistribution",
                                                L"SoftwareDistribution\\DataStore",
                                                L"SoftwareDistribution\\DataStore\\DataStore.edb",
                                                L"System32",
                                                L"System32\\kernel32.dll",
                                                L"notepad.exe"};

TEST(CleanWinSystem, TheWindowsDirectoryIsTheSystemsWhateverWindirSays) {
  const std::wstring decoy = test::make_temp_dir() + L"\\Windows";
  const ScopedVariable windir(L"WINDIR", decoy.c_str());
  const auto directory = system_windows_directory();
  ASSERT_TRUE(directory.ok());
  EXPECT_EQ(directory.value(), u16(test::system_windows_directory_path()));
  EXPECT_NE(directory.value(), u16(decoy));
}

TEST(CleanWinSystem, EmptiesBothOfTheSystemsTargetsAndLeavesADecoyWindirAlone) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const test::OwnedSystemFolders system;
  const std::wstring decoy = test::make_temp_dir() + L"\\Windows";
  add_system_files(decoy);
  make_file(decoy + L"\\Temp\\decoy.tmp", 50);
  make_file(decoy + L"\\SoftwareDistribution\\Download\\decoy.cab", 60);
  make_file(system.download() + L"\\update.cab", 1000);
  make_file(system.download() + L"\\sub\\part", 500);
  make_file(system.temp() + L"\\a.tmp", 100);
  make_file(system.temp() + L"\\b.tmp", 23);
  make_file(system.temp() + L"\\empty.tmp", 0);
  make_file(system.temp() + L"\\sub\\deep\\x", 77);
  make_folder(system.temp() + L"\\empty-folder");

  const ScopedVariable windir(L"WINDIR", decoy.c_str());
  EXPECT_EQ(clean_system(), 1700u);
  EXPECT_TRUE(entries_under(system.download()).empty());
  EXPECT_EQ(entries_under(system.temp()), system.temp_leftovers());
  std::vector<std::wstring> decoy_left = kSystemFiles;
  for (const wchar_t* entry :
       {L"SoftwareDistribution\\Download", L"SoftwareDistribution\\Download\\decoy.cab", L"Temp", L"Temp\\decoy.tmp"}) {
    decoy_left.push_back(entry);
  }
  std::sort(decoy_left.begin(), decoy_left.end());
  EXPECT_EQ(entries_under(decoy), decoy_left);
}

TEST(CleanWinSystem, ReturnsZeroAndTouchesNothingWhenThereIsNothingToRemove) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  const test::OwnedSystemFolders system;
  make_file(system.download() + L"\\empty", 0);
  make_file(system.temp() + L"\\empty", 0);
  make_folder(system.temp() + L"\\empty-folder");
  EXPECT_EQ(clean_system(), 0u);
  EXPECT_TRUE(entry_exists(system.download() + L"\\empty"));
  EXPECT_TRUE(entry_exists(system.temp() + L"\\empty"));
  EXPECT_TRUE(entry_exists(system.temp() + L"\\empty-folder"));
}

// Deletes what the scan would have found in a Temp folder of the test's own.
CleanReport delete_in(const std::wstring& temp) {
  WinFileSystem fs;
  ScanReport scan;
  scan.items.push_back({"system_temp", u16(temp), 1, open_target(fs, u16(temp))});
  EXPECT_TRUE(scan.items.back().folder);
  if (!scan.items.back().folder) return {};
  return delete_scanned(fs, scan);
}

TEST(CleanWinSystem, AFileHeldOpenWithoutDeleteSharingStaysUncountedAsInUse) {
  const std::wstring temp = test::make_temp_dir() + L"\\Temp";
  make_file(temp + L"\\setup.log", 10);
  make_file(temp + L"\\free.tmp", 5);
  const win::UniqueFile held(::CreateFileW((temp + L"\\setup.log").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const CleanReport report = delete_in(temp);
  EXPECT_EQ(report.failures, std::vector<std::string>{"setup.log — estava em uso por outro programa"});
  EXPECT_EQ(report.removed_bytes, 5u);
  EXPECT_EQ(report.removed_count, 1u);
  EXPECT_EQ(entries_under(temp), std::vector<std::wstring>{L"setup.log"});
}

TEST(CleanWinSystem, ASubfolderWithAFileHeldOpenIsNamedAsInUseAndCountsWhatWent) {
  const std::wstring temp = test::make_temp_dir() + L"\\Temp";
  make_file(temp + L"\\installer\\a-first.dat", 7);
  make_file(temp + L"\\installer\\deep\\held.dat", 10);
  const win::UniqueFile held(::CreateFileW((temp + L"\\installer\\deep\\held.dat").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const CleanReport report = delete_in(temp);
  EXPECT_EQ(report.failures, std::vector<std::string>{"installer — estava em uso por outro programa"});
  EXPECT_EQ(report.removed_count, 0u);
  EXPECT_EQ(report.removed_bytes, 7u);
  EXPECT_TRUE(entry_exists(temp + L"\\installer\\deep\\held.dat"));
  EXPECT_FALSE(entry_exists(temp + L"\\installer\\a-first.dat"));
}

TEST(CleanWinSystem, AReadOnlyFileInATargetGoesWhereThePlatformAllows) {
  const std::wstring dir = test::make_temp_dir();
  const bool posix_delete = test::posix_delete_supported(dir);
  const std::wstring temp = dir + L"\\Temp";
  make_file(temp + L"\\read-only.txt", 8, FILE_ATTRIBUTE_READONLY);
  const CleanReport report = delete_in(temp);
  if (posix_delete) {
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(report.removed_bytes, 8u);
    EXPECT_TRUE(entries_under(temp).empty());
  } else {
    // Wine: FileDispositionInfoEx is unknown, and FileDispositionInfo refuses a read-only file.
    EXPECT_EQ(report.failures, std::vector<std::string>{"read-only.txt — está protegido pelo sistema"});
    EXPECT_EQ(report.removed_bytes, 0u);
    EXPECT_TRUE(entry_exists(temp + L"\\read-only.txt"));
  }
}

// A hard link in Temp to a file elsewhere frees nothing: the data stays
// under the other name, so it counts 0; a file with two names in Temp counts
// once, when its last name goes.
TEST(CleanWinSystem, AFileWithAnotherNameLeftCountsNothingAndTheOtherNameKeepsItsData) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring temp = dir + L"\\Temp";
  const std::wstring outside = dir + L"\\outside\\big.dat";
  make_file(outside, 1000);
  make_file(temp + L"\\own.tmp", 5);
  make_file(temp + L"\\twice\\a.tmp", 300);
  ASSERT_TRUE(::CreateHardLinkW((temp + L"\\big-link.tmp").c_str(), outside.c_str(), nullptr));
  ASSERT_TRUE(::CreateHardLinkW((temp + L"\\twice\\b.tmp").c_str(), (temp + L"\\twice\\a.tmp").c_str(), nullptr));
  const CleanReport report = delete_in(temp);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 5u + 300u);
  EXPECT_TRUE(entries_under(temp).empty());
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(outside.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 1000u);
}

// Names the path form would map to a device or trim ("NUL", "con", "COM1",
// "aux.txt", "x.", "...", ".. ") can be made by anyone who can write in Temp.
// Opened relative to the folder's handle, each names itself: "..." must not
// stand for Temp, nor "x." for "x", nor "NUL" for the null device.
TEST(CleanWinSystem, EntriesWithDeviceNamesOrNamesWindowsWouldTrimAreDeletedAsThemselves) {
  const std::wstring windir = test::make_temp_dir() + L"\\Windows";
  const std::wstring temp = windir + L"\\Temp";
  make_file(temp + L"\\...\\inner", 1);
  make_file(temp + L"\\.. \\inner", 2);
  make_file(temp + L"\\folder.\\inner", 4);
  make_file(temp + L"\\file.", 8);
  make_file(temp + L"\\file ", 16);
  make_file(temp + L"\\plain", 32);
  make_file(temp + L"\\NUL", 64);
  make_file(temp + L"\\con", 128);
  make_file(temp + L"\\COM1", 256);
  make_file(temp + L"\\aux.txt", 512);
  make_file(temp + L"\\PRN\\inner", 1024);
  make_file(windir + L"\\file", 3);
  WinFileSystem fs;
  const auto folder = open_target(fs, u16(temp));
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder_size(*folder), 2047u);
  const CleanReport report = delete_in(temp);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 2047u);
  EXPECT_EQ(report.removed_count, 11u);
  EXPECT_TRUE(entry_exists(temp));
  EXPECT_TRUE(entries_under(temp).empty());
  EXPECT_TRUE(entry_exists(windir + L"\\file"));
}

// Between the scan and the deletion the target is renamed and another folder
// put in its place: the deletion goes on through the handle the scan
// measured, so the folder now at the target's path is never touched.
TEST(CleanWinSystem, ATargetReplacedSinceTheScanIsEmptiedThroughItsHandle) {
  if (test::running_under_wine()) {
    GTEST_SKIP() << "Wine deletes by the name an entry was opened under, so it misses entries of a renamed folder";
  }
  const std::wstring dir = test::make_temp_dir();
  const std::wstring temp = dir + L"\\Temp";
  make_file(temp + L"\\measured.tmp", 5);
  make_file(temp + L"\\sub\\measured", 6);
  WinFileSystem fs;
  ScanReport scan = scan_targets(fs, {{"system_temp", u16(temp)}});
  ASSERT_EQ(scan.items.size(), 1u);
  EXPECT_EQ(scan.items[0].bytes, 11u);
  ASSERT_TRUE(::MoveFileW(temp.c_str(), (dir + L"\\moved").c_str()));
  make_file(temp + L"\\newcomer.dat", 100);
  const CleanReport report = delete_scanned(fs, scan);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 11u);
  EXPECT_TRUE(entries_under(dir + L"\\moved").empty());
  EXPECT_EQ(entries_under(temp), std::vector<std::wstring>{L"newcomer.dat"});
}

// Real Windows only: Wine makes neither junctions nor symbolic links. Each
// link points to a folder outside the targets that must stay whole.
struct LinkFixture {
  std::wstring windir;
  std::wstring outside;
};

LinkFixture link_fixture() {
  const std::wstring dir = test::make_temp_dir();
  LinkFixture fixture{dir + L"\\Windows", dir + L"\\outside"};
  make_file(fixture.outside + L"\\precious.dat", 1000);
  make_file(fixture.windir + L"\\Temp\\own.tmp", 3);
  make_folder(fixture.windir + L"\\Temp\\sub\\deeper");
  return fixture;
}

TEST(CleanWinSystem, AJunctionInATargetOrDeepInsideGoesAsALink) {
  const LinkFixture fixture = link_fixture();
  for (const std::wstring link : {L"\\Temp\\junction", L"\\Temp\\sub\\deeper\\junction"}) {
    if (auto why = test::make_junction(fixture.windir + link, fixture.outside)) GTEST_SKIP() << *why;
  }
  EXPECT_EQ(clean_under(fixture.windir), 3u);
  EXPECT_TRUE(entries_under(fixture.windir + L"\\Temp").empty());
  EXPECT_EQ(entries_under(fixture.outside), std::vector<std::wstring>{L"precious.dat"});
}

TEST(CleanWinSystem, ATargetThatIsAJunctionIsAbsent) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring outside = dir + L"\\outside";
  make_file(outside + L"\\precious.dat", 1000);
  make_file(outside + L"\\sub\\config.sys", 10);
  make_folder(dir + L"\\Windows");
  if (auto why = test::make_junction(dir + L"\\Windows\\Temp", outside)) GTEST_SKIP() << *why;
  EXPECT_EQ(clean_under(dir + L"\\Windows"), 0u);
  EXPECT_EQ(entries_under(outside), (std::vector<std::wstring>{L"precious.dat", L"sub", L"sub\\config.sys"}));
}

TEST(CleanWinSystem, ADirectorySymlinkInATargetOrDeepInsideGoesAsALink) {
  const LinkFixture fixture = link_fixture();
  for (const std::wstring link : {L"\\Temp\\link", L"\\Temp\\sub\\deeper\\link"}) {
    if (auto why = test::make_directory_symlink(fixture.windir + link, fixture.outside)) GTEST_SKIP() << *why;
  }
  EXPECT_EQ(clean_under(fixture.windir), 3u);
  EXPECT_TRUE(entries_under(fixture.windir + L"\\Temp").empty());
  EXPECT_EQ(entries_under(fixture.outside), std::vector<std::wstring>{L"precious.dat"});
}

}  // namespace
}  // namespace tarnwick::clean

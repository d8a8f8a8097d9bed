// "clean-system" on real folders under a WINDIR set in this process: what
// goes, what stays, what is counted, and how a failure is described.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/utf.hpp"
#include "engine/clean/delete_scanned.hpp"
#include "engine/clean/scan.hpp"
#include "engine/clean/win_file_system.hpp"
#include "engine/clean/win_system_cleaner.hpp"
#include "platform/win/unique_handle.hpp"
#include "platform/win/wide.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::clean {
namespace {

using test::entries_under;
using test::entry_exists;
using test::make_file;
using test::make_folder;
using test::ScopedVariable;

std::string text(const std::wstring& path) { return utf16_to_utf8_lossy(win::as_utf16(path)); }

std::uint64_t clean_with_windir(const std::wstring& windir) {
  const ScopedVariable variable(L"WINDIR", windir.c_str());
  WinSystemCleaner cleaner;
  const auto removed = static_cast<SystemCleaner&>(cleaner).clean_system();
  EXPECT_TRUE(removed.ok());
  return removed.ok() ? removed.value() : 0;
}

// What a Windows directory holds besides the two targets.
void add_system_files(const std::wstring& windir) {
  make_file(windir + L"\\System32\\kernel32.dll", 4096);
  make_file(windir + L"\\SoftwareDistribution\\DataStore\\DataStore.edb", 10);
  make_file(windir + L"\\notepad.exe", 20);
}
const std::vector<std::wstring> kSystemFiles = {
    L"SoftwareDistribution", L"SoftwareDistribution\\DataStore", L"SoftwareDistribution\\DataStore\\DataStore.edb",
    L"System32",             L"System32\\kernel32.dll",          L"notepad.exe"};

TEST(CleanWinSystem, EmptiesBothTargetsAndReturnsTheBytesOfTheFilesDirectlyInThem) {
  for (const std::wstring suffix : {L"", L"\\"}) {
    const std::wstring windir = test::make_temp_dir() + L"\\Windows";
    add_system_files(windir);
    make_file(windir + L"\\SoftwareDistribution\\Download\\update.cab", 1000);
    make_file(windir + L"\\SoftwareDistribution\\Download\\sub\\part", 500);
    make_file(windir + L"\\Temp\\a.tmp", 100);
    make_file(windir + L"\\Temp\\b.tmp", 23);
    make_file(windir + L"\\Temp\\empty.tmp", 0);
    make_file(windir + L"\\Temp\\sub\\deep\\x", 77);
    make_folder(windir + L"\\Temp\\empty-folder");

    EXPECT_EQ(clean_with_windir(windir + suffix), 1123u);
    EXPECT_TRUE(entry_exists(windir + L"\\SoftwareDistribution\\Download"));
    EXPECT_TRUE(entry_exists(windir + L"\\Temp"));
    std::vector<std::wstring> left = kSystemFiles;
    left.push_back(L"SoftwareDistribution\\Download");
    left.push_back(L"Temp");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(entries_under(windir), left);
  }
}

TEST(CleanWinSystem, ReturnsZeroAndTouchesNothingWhenThereIsNothingToRemove) {
  const std::wstring absent = test::make_temp_dir() + L"\\Windows";
  add_system_files(absent);
  EXPECT_EQ(clean_with_windir(absent), 0u);
  EXPECT_EQ(entries_under(absent), kSystemFiles);

  const std::wstring only_empty = test::make_temp_dir() + L"\\Windows";
  make_file(only_empty + L"\\SoftwareDistribution\\Download\\empty", 0);
  make_file(only_empty + L"\\Temp\\empty", 0);
  make_folder(only_empty + L"\\Temp\\empty-folder");
  EXPECT_EQ(clean_with_windir(only_empty), 0u);
  EXPECT_EQ(entries_under(only_empty + L"\\Temp"), (std::vector<std::wstring>{L"empty", L"empty-folder"}));
  EXPECT_TRUE(entry_exists(only_empty + L"\\SoftwareDistribution\\Download\\empty"));
}

// Deletes what the scan would have found in a Temp folder.
CleanReport delete_in(const std::wstring& temp) {
  WinFileSystem fs;
  return delete_scanned(fs, ScanReport{{{"system_temp", text(temp), 1}}, 1});
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

TEST(CleanWinSystem, ASubfolderWithAFileHeldOpenIsNamedAsInUse) {
  const std::wstring temp = test::make_temp_dir() + L"\\Temp";
  make_file(temp + L"\\installer\\deep\\held.dat", 10);
  const win::UniqueFile held(::CreateFileW((temp + L"\\installer\\deep\\held.dat").c_str(), GENERIC_READ,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const CleanReport report = delete_in(temp);
  EXPECT_EQ(report.failures, std::vector<std::string>{"installer — estava em uso por outro programa"});
  EXPECT_EQ(report.removed_count, 0u);
  EXPECT_TRUE(entry_exists(temp + L"\\installer\\deep\\held.dat"));
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
    // Wine: DeleteFileW answers access denied and FileDispositionInfoEx is unknown.
    EXPECT_EQ(report.failures, std::vector<std::string>{"read-only.txt — está protegido pelo sistema"});
    EXPECT_EQ(report.removed_bytes, 0u);
    EXPECT_TRUE(entry_exists(temp + L"\\read-only.txt"));
  }
}

// Names Windows would trim ("x.", "...", ".. ") can be made by anyone who
// can write in Temp. Handed over as written, each names itself: "..." must
// not stand for Temp, nor "x." for "x".
TEST(CleanWinSystem, EntriesWithNamesWindowsWouldTrimAreDeletedAsThemselves) {
  const std::wstring windir = test::make_temp_dir() + L"\\Windows";
  const std::wstring temp = windir + L"\\Temp";
  make_file(temp + L"\\...\\inner", 1);
  make_file(temp + L"\\.. \\inner", 2);
  make_file(temp + L"\\folder.\\inner", 4);
  make_file(temp + L"\\file.", 8);
  make_file(temp + L"\\file ", 16);
  make_file(temp + L"\\plain", 32);
  WinFileSystem fs;
  EXPECT_EQ(dir_size(fs, win::as_utf16(temp)), 63u);
  const CleanReport report = delete_in(temp);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 56u);
  EXPECT_EQ(report.removed_count, 6u);
  EXPECT_TRUE(entry_exists(temp));
  EXPECT_TRUE(entries_under(temp).empty());
}

TEST(CleanWinSystem, ATargetGoneSinceTheScanIsNamedAsGone) {
  const std::wstring windir = test::make_temp_dir() + L"\\Windows";
  make_folder(windir + L"\\SoftwareDistribution");
  WinFileSystem fs;
  const CleanReport report =
      delete_scanned(fs, ScanReport{{{"windows_update", text(windir) + "\\SoftwareDistribution/Download", 1}}, 1});
  EXPECT_EQ(report.failures, std::vector<std::string>{"Download — já não estava mais lá"});
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
  EXPECT_EQ(clean_with_windir(fixture.windir), 3u);
  EXPECT_TRUE(entries_under(fixture.windir + L"\\Temp").empty());
  EXPECT_EQ(entries_under(fixture.outside), std::vector<std::wstring>{L"precious.dat"});
}

TEST(CleanWinSystem, ADirectorySymlinkInATargetOrDeepInsideGoesAsALink) {
  const LinkFixture fixture = link_fixture();
  for (const std::wstring link : {L"\\Temp\\link", L"\\Temp\\sub\\deeper\\link"}) {
    if (auto why = test::make_directory_symlink(fixture.windir + link, fixture.outside)) GTEST_SKIP() << *why;
  }
  EXPECT_EQ(clean_with_windir(fixture.windir), 3u);
  EXPECT_TRUE(entries_under(fixture.windir + L"\\Temp").empty());
  EXPECT_EQ(entries_under(fixture.outside), std::vector<std::wstring>{L"precious.dat"});
}

}  // namespace
}  // namespace tarnwick::clean

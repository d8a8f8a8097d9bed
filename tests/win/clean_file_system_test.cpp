// The engine's Windows file system on real folders: listings, the presence
// test, sizes, and the tree deletion, also past MAX_PATH.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/clean/scan.hpp"
#include "engine/clean/tree_deletion.hpp"
#include "engine/clean/win_file_system.hpp"
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

std::u16string u16(const std::wstring& path) { return std::u16string(win::as_utf16(path)); }

// A chain of folders with long names whose path passes 260 units well.
std::wstring long_chain(const std::wstring& base) {
  std::wstring path = base;
  for (int level = 0; level < 6; ++level) path += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
  return path;
}

TEST(CleanWinFileSystem, ListsNamesSizesAndAttributesOfAFolder) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\ten", 10);
  make_file(dir + L"\\empty", 0);
  make_file(dir + L"\\read-only", 3, FILE_ATTRIBUTE_READONLY);
  make_folder(dir + L"\\sub");
  WinFileSystem fs;
  auto listing = fs.list_folder(u16(dir));
  ASSERT_TRUE(listing.ok());
  EXPECT_FALSE(listing.value().broke_off);
  auto entries = listing.value().entries;
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, u"empty");
  EXPECT_EQ(entries[0].size, 0u);
  EXPECT_EQ(entries[1].name, u"read-only");
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_NE(entries[1].attributes & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(entries[2].name, u"sub");
  EXPECT_NE(entries[2].attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(entries[3].name, u"ten");
  EXPECT_EQ(entries[3].size, 10u);
  EXPECT_EQ(entries[3].attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), 0u);

  make_folder(dir + L"\\nothing-inside");
  auto empty = fs.list_folder(u16(dir + L"\\nothing-inside"));
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().entries.empty());
}

TEST(CleanWinFileSystem, FailsToStartListingAMissingFolderOrAFile) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\file", 1);
  WinFileSystem fs;
  const auto missing = fs.list_folder(u16(dir + L"\\missing"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), FsError{ERROR_PATH_NOT_FOUND});
  const auto file = fs.list_folder(u16(dir + L"\\file"));
  ASSERT_FALSE(file.ok());
  EXPECT_TRUE(file.error().code.has_value());  // ERROR_DIRECTORY on Windows, ERROR_INVALID_NAME on Wine
}

TEST(CleanWinFileSystem, PresenceTestFindsFoldersAndFilesButNotMissingOnes) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\file", 1);
  WinFileSystem fs;
  EXPECT_TRUE(fs.is_present(u16(dir)));
  EXPECT_TRUE(fs.is_present(u16(dir + L"\\file")));
  EXPECT_FALSE(fs.is_present(u16(dir + L"\\missing")));
  EXPECT_FALSE(fs.is_present(u16(dir + L"\\missing\\deeper")));
  EXPECT_FALSE(fs.is_present(u16(dir) + std::u16string(1, u'\0') + u"x"));
}

TEST(CleanWinFileSystem, MeasuresAMixedTreeAlsoPastMaxPath) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\a", 10);
  make_file(dir + L"\\b", 20);
  make_file(dir + L"\\c", 0);
  make_file(dir + L"\\sub\\d", 5);
  make_file(dir + L"\\sub\\deeper\\e", 7);
  make_folder(dir + L"\\empty-folder");
  const std::wstring deep = long_chain(dir + L"\\long");
  ASSERT_GT(deep.size(), 300u);
  make_file(deep + L"\\f", 11);
  WinFileSystem fs;
  EXPECT_EQ(dir_size(fs, u16(dir)), 53u);
  EXPECT_EQ(dir_size(fs, u16(deep)), 11u);
  EXPECT_EQ(dir_size(fs, u16(dir + L"\\a")), 0u);
  EXPECT_EQ(dir_size(fs, u16(dir + L"\\missing")), 0u);
}

TEST(CleanWinTreeDeletion, DeletesANestedTreeAlsoPastMaxPath) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring tree = dir + L"\\tree";
  make_file(tree + L"\\a", 1);
  make_file(tree + L"\\sub\\b", 2);
  make_folder(tree + L"\\sub\\empty");
  make_file(long_chain(tree) + L"\\deepest", 3);
  make_file(dir + L"\\beside", 4);
  WinFileSystem fs;
  ASSERT_TRUE(delete_tree(fs, u16(tree)).ok());
  EXPECT_FALSE(entry_exists(tree));
  EXPECT_TRUE(entry_exists(dir + L"\\beside"));
}

// FileDispositionInfoEx deletes a read-only file; where the file system
// lacks it (Wine), the fallback cannot, and the deletion ends with access denied.
TEST(CleanWinTreeDeletion, DeletesAReadOnlyFileWhereThePlatformAllows) {
  const std::wstring dir = test::make_temp_dir();
  const bool posix_delete = test::posix_delete_supported(dir);
  const std::wstring tree = dir + L"\\tree";
  make_file(tree + L"\\sub\\read-only", 1, FILE_ATTRIBUTE_READONLY);
  WinFileSystem fs;
  const auto deleted = delete_tree(fs, u16(tree));
  if (posix_delete) {
    EXPECT_TRUE(deleted.ok());
    EXPECT_FALSE(entry_exists(tree));
  } else {
    ASSERT_FALSE(deleted.ok());
    EXPECT_EQ(deleted.error(), FsError{ERROR_ACCESS_DENIED});
    EXPECT_TRUE(entry_exists(tree + L"\\sub\\read-only"));
  }
}

// A folder's listing comes back in buffers of 64 KiB: 1,000 long names need
// several, and every one of them must be walked.
TEST(CleanWinTreeDeletion, DeletesAFolderWhoseListingSpansManyBuffers) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring tree = dir + L"\\tree";
  for (int i = 0; i < 1000; ++i) make_file(tree + L"\\sub\\" + std::to_wstring(i) + std::wstring(100, L'n'), 1);
  WinFileSystem fs;
  auto opened = fs.open_no_follow(u16(tree + L"\\sub"));
  ASSERT_TRUE(opened.ok());
  auto listing = opened.value()->list_children();
  ASSERT_TRUE(listing.ok());
  EXPECT_EQ(listing.value().entries.size(), 1000u);
  EXPECT_FALSE(listing.value().broke_off);
  opened.value().reset();
  ASSERT_TRUE(delete_tree(fs, u16(tree)).ok());
  EXPECT_FALSE(entry_exists(tree));
}

TEST(CleanWinTreeDeletion, RefusesAFileAndAMissingPath) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\file", 1);
  WinFileSystem fs;
  const auto file = delete_tree(fs, u16(dir + L"\\file"));
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.error(), FsError{ERROR_DIRECTORY});
  EXPECT_TRUE(entry_exists(dir + L"\\file"));
  const auto missing = delete_tree(fs, u16(dir + L"\\missing"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), FsError{ERROR_FILE_NOT_FOUND});
}

TEST(CleanWinTreeDeletion, AFileHeldOpenInsideEndsItAsInUse) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring tree = dir + L"\\tree";
  make_file(tree + L"\\inner\\held", 1);
  const win::UniqueFile held(::CreateFileW((tree + L"\\inner\\held").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  WinFileSystem fs;
  const auto deleted = delete_tree(fs, u16(tree));
  ASSERT_FALSE(deleted.ok());
  EXPECT_EQ(deleted.error(), FsError{ERROR_SHARING_VIOLATION});
  EXPECT_TRUE(entry_exists(tree + L"\\inner\\held"));
}

}  // namespace
}  // namespace tarnwick::clean

// The engine's Windows file system on real folders: targets opened as
// themselves, listings through handles, sizes, and the tree deletion, also
// past MAX_PATH.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/clean/scan.hpp"
#include "engine/clean/tree_deletion.hpp"
#include "engine/clean/file_system_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::clean {
namespace {

using test::entries_under;
using test::entry_exists;
using test::make_file;
using test::make_folder;

std::u16string u16(const std::wstring& path) { return std::u16string(win::as_utf16(path)); }

// The folder at `path`, opened as a target.
std::unique_ptr<OpenEntry> target(WinFileSystem& fs, const std::wstring& path) {
  auto opened = fs.open_target(u16(path));
  return opened ? std::move(opened).value() : nullptr;
}

// The tree `name` in `dir`, opened relative to `dir` as the engine opens a
// subfolder of a target, then deleted.
Result<Done, OsError> delete_tree_in(WinFileSystem& fs, const std::wstring& dir, const std::wstring& name) {
  auto parent = fs.open_target(u16(dir));
  if (!parent) return Err{parent.error()};
  auto child = parent.value()->open_child(u16(name));
  if (!child) return Err{child.error()};
  FreedBytes freed = 0;
  return delete_tree(fs, std::move(child).value(), freed);
}

std::uint64_t size_of(WinFileSystem& fs, const std::wstring& path) {
  const auto folder = open_target(fs, u16(path));
  return folder ? folder_size(*folder) : 0;
}

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
  const auto folder = target(fs, dir);
  ASSERT_TRUE(folder);
  auto listing = folder->list_children();
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
  const auto nothing_inside = target(fs, dir + L"\\nothing-inside");
  ASSERT_TRUE(nothing_inside);
  auto empty = nothing_inside->list_children();
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().entries.empty());
}

// A child is one name below its parent's handle: a longer way would pass
// through folders (and links) on the way without opening them as themselves,
// a stream name would open the folder itself, and ".." its parent. Neither
// an open nor a deletion takes such a name.
TEST(CleanWinFileSystem, OpensAChildByOneNameOnly) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\sub\\inner", 1);
  WinFileSystem fs;
  const auto parent = fs.open_target(u16(dir + L"\\sub"));
  ASSERT_TRUE(parent.ok());
  EXPECT_TRUE(parent.value()->open_child(u"inner").ok());
  const std::u16string names[] = {
      u"inner\\x",
      u"inner\\",
      u"\\inner",
      u"inner/x",
      u"/inner",
      std::u16string(u"inner\0x", 7),
      u"",
      u".",
      u"..",
      u"inner:s",
      u":$I30:$INDEX_ALLOCATION",
      u"::$DATA",
  };
  for (const std::u16string& name : names) {
    const auto child = parent.value()->open_child(name);
    ASSERT_FALSE(child.ok());
    EXPECT_EQ(child.error(), OsError{ERROR_INVALID_NAME});
    const auto deleted = parent.value()->delete_non_folder_child(name);
    ASSERT_FALSE(deleted.ok());
    EXPECT_EQ(deleted.error(), OsError{ERROR_INVALID_NAME});
  }
  EXPECT_TRUE(entry_exists(dir + L"\\sub\\inner"));
  EXPECT_TRUE(entry_exists(dir + L"\\sub"));
}

// A target is opened as itself; only a directory that is not a reparse
// point is one to clean.
TEST(CleanWinFileSystem, OpensTargetsAsThemselvesAndTakesOnlyFoldersAsTargets) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\file", 1);
  WinFileSystem fs;
  const auto missing = fs.open_target(u16(dir + L"\\missing"));
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), OsError{ERROR_FILE_NOT_FOUND});
  const auto deeper = fs.open_target(u16(dir + L"\\missing\\deeper"));
  ASSERT_FALSE(deeper.ok());
  EXPECT_EQ(deeper.error(), OsError{ERROR_PATH_NOT_FOUND});
  const auto with_nul = fs.open_target(u16(dir) + std::u16string(1, u'\0') + u"x");
  ASSERT_FALSE(with_nul.ok());
  EXPECT_EQ(with_nul.error(), OsError{ERROR_INVALID_NAME});

  EXPECT_TRUE(open_target(fs, u16(dir)));
  EXPECT_TRUE(fs.open_target(u16(dir + L"\\file")).ok());
  EXPECT_FALSE(open_target(fs, u16(dir + L"\\file")));
  EXPECT_FALSE(open_target(fs, u16(dir + L"\\missing")));
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
  EXPECT_EQ(size_of(fs, dir), 53u);
  EXPECT_EQ(size_of(fs, deep), 11u);
  EXPECT_EQ(size_of(fs, dir + L"\\a"), 0u);
  EXPECT_EQ(size_of(fs, dir + L"\\missing"), 0u);
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
  ASSERT_TRUE(delete_tree_in(fs, dir, L"tree").ok());
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
  const auto deleted = delete_tree_in(fs, dir, L"tree");
  if (posix_delete) {
    EXPECT_TRUE(deleted.ok());
    EXPECT_FALSE(entry_exists(tree));
  } else {
    ASSERT_FALSE(deleted.ok());
    EXPECT_EQ(deleted.error(), OsError{ERROR_ACCESS_DENIED});
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
  auto opened = target(fs, tree + L"\\sub");
  ASSERT_TRUE(opened);
  auto listing = opened->list_children();
  ASSERT_TRUE(listing.ok());
  EXPECT_EQ(listing.value().entries.size(), 1000u);
  EXPECT_FALSE(listing.value().broke_off);
  opened.reset();
  ASSERT_TRUE(delete_tree_in(fs, dir, L"tree").ok());
  EXPECT_FALSE(entry_exists(tree));
}

TEST(CleanWinTreeDeletion, RefusesAFileAndAMissingPath) {
  const std::wstring dir = test::make_temp_dir();
  make_file(dir + L"\\file", 1);
  WinFileSystem fs;
  const auto file = delete_tree_in(fs, dir, L"file");
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.error(), OsError{ERROR_DIRECTORY});
  EXPECT_TRUE(entry_exists(dir + L"\\file"));
  const auto missing = delete_tree_in(fs, dir, L"missing");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), OsError{ERROR_FILE_NOT_FOUND});
}

TEST(CleanWinTreeDeletion, AFileHeldOpenInsideEndsItAsInUse) {
  const std::wstring dir = test::make_temp_dir();
  const std::wstring tree = dir + L"\\tree";
  make_file(tree + L"\\inner\\held", 1);
  const win::UniqueFile held(::CreateFileW((tree + L"\\inner\\held").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  WinFileSystem fs;
  const auto deleted = delete_tree_in(fs, dir, L"tree");
  ASSERT_FALSE(deleted.ok());
  EXPECT_EQ(deleted.error(), OsError{ERROR_SHARING_VIOLATION});
  EXPECT_TRUE(entry_exists(tree + L"\\inner\\held"));
}

}  // namespace
}  // namespace tarnwick::clean

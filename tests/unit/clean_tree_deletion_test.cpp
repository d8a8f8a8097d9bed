// Deleting a folder tree: links removed as links and never entered, even
// when swapped in while the deletion runs; vanished children passed over;
// the passing refusals tried again up to 50 times; the first other failure
// ends it all.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/clean/tree_deletion.hpp"
#include "support/fake_file_system.hpp"

namespace tarnwick::clean {
namespace {

using test::FakeFileSystem;
using test::FakeLink;
using test::FakeStep;

// Content that lies outside the tree and must never be touched.
void add_precious(FakeFileSystem& fs) {
  fs.add_file(u"C:\\precious\\system.dll", 1000);
  fs.add_file(u"C:\\precious\\sub\\config.sys", 10);
}
const std::vector<std::u16string> kPrecious = {u"sub", u"sub\\config.sys", u"system.dll"};

// C:\t opened as itself (a link there is the link), then deleted as a tree.
Result<Done, OsError> delete_t(FakeFileSystem& fs, FreedBytes* freed = nullptr) {
  auto root = fs.open_target(u"C:\\t");
  if (!root) return Err{root.error()};
  FreedBytes ignored = 0;
  return delete_tree(fs, std::move(root).value(), freed != nullptr ? *freed : ignored);
}

TEST(CleanTreeDeletion, DeletesEverythingDepthFirstWithTheGivenFolderLast) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\t\\a\\f", 1);
  fs.add_file(u"C:\\t\\g", 1);
  fs.add_folder(u"C:\\keep");
  fs.record_calls();
  ASSERT_TRUE(delete_t(fs).ok());
  EXPECT_FALSE(fs.contains(u"C:\\t"));
  EXPECT_TRUE(fs.contains(u"C:\\keep"));
  std::vector<std::u16string> marked;
  for (const auto& [step, path] : fs.calls()) {
    if (step == FakeStep::Mark) marked.push_back(path);
  }
  EXPECT_EQ(marked, (std::vector<std::u16string>{u"C:\\t\\a\\f", u"C:\\t\\a", u"C:\\t\\g", u"C:\\t"}));
}

TEST(CleanTreeDeletion, CountsTheListedSizeOfEachPlainFileDeletedAlsoWhenItEndsEarly) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_file(u"C:\\t\\a\\f", 10);
  fs.add_file(u"C:\\t\\b", 20);
  fs.add_link(u"C:\\t\\c-link", FakeLink::SymlinkToFile, u"C:\\precious\\system.dll", 1000);
  fs.add_file(u"C:\\t\\d-locked", 40);
  fs.add_file(u"C:\\t\\e", 80);
  fs.fail(FakeStep::Mark, u"C:\\t\\d-locked", OsError{5});
  FreedBytes freed = 0;
  const auto deleted = delete_t(fs, &freed);
  ASSERT_FALSE(deleted.ok());
  EXPECT_EQ(freed, 30u);
  EXPECT_EQ(fs.entries_under(u"C:\\t"), (std::vector<std::u16string>{u"d-locked", u"e"}));
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
}

TEST(CleanTreeDeletion, RemovesLinksAnywhereInTheTreeAsLinksAndLeavesWhatTheyPointTo) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_link(u"C:\\t\\junction", FakeLink::Junction, u"C:\\precious");
  fs.add_link(u"C:\\t\\dir-link", FakeLink::SymlinkToFolder, u"C:\\precious");
  fs.add_link(u"C:\\t\\file-link", FakeLink::SymlinkToFile, u"C:\\precious\\system.dll");
  fs.add_link(u"C:\\t\\a\\b\\deep-junction", FakeLink::Junction, u"C:\\precious\\sub");
  fs.add_file(u"C:\\t\\a\\b\\own", 5);
  ASSERT_TRUE(delete_t(fs).ok());
  EXPECT_FALSE(fs.contains(u"C:\\t"));
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
}

TEST(CleanTreeDeletion, EntersAReparsePointThatIsNotALink) {
  FakeFileSystem fs;
  fs.add_reparse_folder(u"C:\\t\\placeholder", test::kReparseTagCloud);
  fs.add_file(u"C:\\t\\placeholder\\f", 1);
  ASSERT_TRUE(delete_t(fs).ok());
  EXPECT_FALSE(fs.contains(u"C:\\t"));
}

// The listing said "folder"; by the time it is opened it is a junction. The
// kind comes from the open entry, so the junction goes as a link.
TEST(CleanTreeDeletion, DoesNotFollowASubfolderSwappedForALinkAfterItWasListed) {
  for (const FakeLink kind : {FakeLink::Junction, FakeLink::SymlinkToFolder}) {
    FakeFileSystem fs;
    add_precious(fs);
    fs.add_file(u"C:\\t\\a\\b\\f", 1);
    fs.before(FakeStep::Open, u"C:\\t\\a\\b", [kind](FakeFileSystem& f) {
      f.remove(u"C:\\t\\a\\b");
      f.add_link(u"C:\\t\\a\\b", kind, u"C:\\precious");
    });
    ASSERT_TRUE(delete_t(fs).ok());
    EXPECT_FALSE(fs.contains(u"C:\\t"));
    EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
  }
}

TEST(CleanTreeDeletion, RefusesAGivenPathThatIsNotADirectoryWithErrorDirectory) {
  struct Case {
    const char* what;
    FakeLink link;
    bool is_link;
  };
  for (const Case& c :
       {Case{"file", FakeLink::Junction, false}, Case{"junction", FakeLink::Junction, true},
        Case{"folder symlink", FakeLink::SymlinkToFolder, true}, Case{"file symlink", FakeLink::SymlinkToFile, true}}) {
    FakeFileSystem fs;
    add_precious(fs);
    if (c.is_link) {
      fs.add_link(u"C:\\t", c.link, c.link == FakeLink::SymlinkToFile ? u"C:\\precious\\system.dll" : u"C:\\precious");
    } else {
      fs.add_file(u"C:\\t", 3);
    }
    const auto deleted = delete_t(fs);
    ASSERT_FALSE(deleted.ok()) << c.what;
    EXPECT_EQ(deleted.error(), OsError{267}) << c.what;
    EXPECT_TRUE(fs.contains(u"C:\\t")) << c.what;
    EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious) << c.what;
  }
}

TEST(CleanTreeDeletion, AGivenFolderSwappedForALinkBeforeItIsOpenedIsLeftAlone) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_file(u"C:\\t\\f", 1);
  fs.before(FakeStep::Open, u"C:\\t", [](FakeFileSystem& f) {
    f.remove(u"C:\\t");
    f.add_link(u"C:\\t", FakeLink::Junction, u"C:\\precious");
  });
  const auto deleted = delete_t(fs);
  ASSERT_FALSE(deleted.ok());
  EXPECT_EQ(deleted.error(), OsError{267});
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
}

TEST(CleanTreeDeletion, PassesOverChildrenThatVanishedBeforeTheyWereOpened) {
  // Another program takes the child away between the listing and its
  // opening; the opening answers with one of the codes for "not there".
  for (const std::uint32_t code : {2u, 3u, 53u, 67u, 303u}) {
    for (const std::u16string gone : {u"C:\\t\\file", u"C:\\t\\sub"}) {
      FakeFileSystem fs;
      fs.add_file(u"C:\\t\\a", 1);
      fs.add_file(u"C:\\t\\file", 1);
      fs.add_file(u"C:\\t\\sub\\z", 1);
      fs.add_file(u"C:\\t\\z", 1);
      fs.before(FakeStep::Open, gone, [gone](FakeFileSystem& f) { f.remove(gone); });
      fs.fail(FakeStep::Open, gone, OsError{code}, 1);
      EXPECT_TRUE(delete_t(fs).ok()) << code;
      EXPECT_FALSE(fs.contains(u"C:\\t")) << code;
    }
  }
}

TEST(CleanTreeDeletion, TriesPassingRefusalsAgainUpToFiftyAttemptsInAll) {
  struct Case {
    const char* what;
    FakeStep step;
    std::u16string path;
    std::uint32_t code;
    int refusals;
    bool succeeds;
    int pauses;
  };
  const Case cases[] = {
      {"file in use at open, then free", FakeStep::Open, u"C:\\t\\sub\\f", 32, 49, true, 49},
      {"file in use at open throughout", FakeStep::Open, u"C:\\t\\sub\\f", 32, 50, false, 49},
      {"file in use when marked, then free", FakeStep::Mark, u"C:\\t\\sub\\f", 32, 3, true, 3},
      {"folder not yet empty, then empty", FakeStep::Mark, u"C:\\t\\sub", 145, 49, true, 49},
      {"folder never empty", FakeStep::Mark, u"C:\\t\\sub", 145, 50, false, 49},
      {"given folder never empty", FakeStep::Mark, u"C:\\t", 145, 50, false, 49},
      {"access denied is not tried again", FakeStep::Open, u"C:\\t\\sub\\f", 5, 1, false, 0},
      {"a file is not tried again for not empty", FakeStep::Mark, u"C:\\t\\sub\\f", 145, 1, false, 0},
      {"a folder is not tried again for in use", FakeStep::Mark, u"C:\\t\\sub", 32, 1, false, 0},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    fs.add_file(u"C:\\t\\sub\\f", 1);
    fs.fail(c.step, c.path, OsError{c.code}, c.refusals);
    const auto deleted = delete_t(fs);
    EXPECT_EQ(deleted.ok(), c.succeeds) << c.what;
    if (!deleted.ok()) {
      EXPECT_EQ(deleted.error(), OsError{c.code}) << c.what;
      EXPECT_TRUE(fs.contains(c.path)) << c.what;
    }
    EXPECT_EQ(fs.pauses(), c.pauses) << c.what;
  }
}

TEST(CleanTreeDeletion, TheFirstOtherFailureEndsItAndWhatWasDeletedStaysDeleted) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\t\\a", 1);
  fs.add_file(u"C:\\t\\b\\inner", 1);
  fs.add_file(u"C:\\t\\c", 1);
  fs.add_file(u"C:\\t\\d", 1);
  fs.fail(FakeStep::Open, u"C:\\t\\c", OsError{5});
  const auto deleted = delete_t(fs);
  ASSERT_FALSE(deleted.ok());
  EXPECT_EQ(deleted.error(), OsError{5});
  EXPECT_EQ(fs.entries_under(u"C:\\t"), (std::vector<std::u16string>{u"c", u"d"}));
}

TEST(CleanTreeDeletion, FailsWhenASubfolderCannotBeListedOrItsListingBreaksOff) {
  struct Case {
    const char* what;
    bool breaks_off;
    OsError error;
  };
  for (const Case& c : {Case{"cannot be listed", false, OsError{5}}, Case{"breaks off", true, OsError{59}},
                        Case{"fails with an unlisted code", false, OsError{123}}}) {
    FakeFileSystem fs;
    fs.add_file(u"C:\\t\\sub\\1", 1);
    fs.add_file(u"C:\\t\\sub\\2", 1);
    if (c.breaks_off) {
      fs.break_listing(u"C:\\t\\sub", 1, c.error);
    } else {
      fs.fail(FakeStep::List, u"C:\\t\\sub", c.error);
    }
    const auto deleted = delete_t(fs);
    ASSERT_FALSE(deleted.ok()) << c.what;
    EXPECT_EQ(deleted.error(), c.error) << c.what;
    EXPECT_TRUE(fs.contains(u"C:\\t\\sub\\2")) << c.what;
  }
}

TEST(CleanTreeDeletion, FailsWithTheOpenOrAttributeErrorOfTheGivenFolder) {
  FakeFileSystem fs;
  EXPECT_EQ(delete_t(fs).error(), OsError{3});
  fs.add_folder(u"C:\\x");
  EXPECT_EQ(delete_t(fs).error(), OsError{2});
  fs.add_file(u"C:\\t\\f", 1);
  fs.fail(FakeStep::Attributes, u"C:\\t", OsError{1117}, 1);
  EXPECT_EQ(delete_t(fs).error(), OsError{1117});
  EXPECT_TRUE(fs.contains(u"C:\\t\\f"));
}

TEST(CleanTreeDeletion, DeletesATreeTenThousandLevelsDeep) {
  FakeFileSystem fs;
  std::u16string deepest = u"C:\\t";
  for (int level = 0; level < 10'000; ++level) deepest += u"\\d";
  fs.add_folder(deepest);
  fs.add_file(deepest + u"\\bottom", 3);
  fs.add_folder(u"C:\\keep");
  ASSERT_TRUE(delete_t(fs).ok());
  EXPECT_FALSE(fs.contains(u"C:\\t"));
  EXPECT_TRUE(fs.contains(u"C:\\keep"));
}

// Whoever nests folders faster than the walk descends could otherwise keep
// it going, one more open handle per level: a folder that would be held
// open below the deepest level any path can name is left whole, and the
// deletion fails saying the name is too long.
TEST(CleanTreeDeletion, StopsAtTheDepthNoPathCanNameAndSaysSo) {
  for (const std::size_t levels : {FolderStack::kMaxDepth - 1, FolderStack::kMaxDepth}) {
    FakeFileSystem fs;
    std::u16string deepest = u"C:\\t";
    for (std::size_t level = 0; level < levels; ++level) deepest += u"\\d";
    fs.add_file(deepest + u"\\bottom", 3);
    fs.add_folder(u"C:\\keep");
    FreedBytes freed = 0;
    const auto deleted = delete_t(fs, &freed);
    if (levels < FolderStack::kMaxDepth) {
      EXPECT_TRUE(deleted.ok()) << levels;
      EXPECT_FALSE(fs.contains(u"C:\\t"));
      EXPECT_EQ(freed, 3u);
    } else {
      ASSERT_FALSE(deleted.ok()) << levels;
      EXPECT_EQ(deleted.error(), OsError{206});  // ERROR_FILENAME_EXCED_RANGE
      EXPECT_TRUE(fs.contains(deepest + u"\\bottom"));
      EXPECT_EQ(freed, 0u);
    }
    EXPECT_TRUE(fs.contains(u"C:\\keep"));
  }
}

}  // namespace
}  // namespace tarnwick::clean

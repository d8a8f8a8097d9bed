// "clean-system" as the dispatcher runs it: the targets under the Windows
// directory the engine is given, entered by handle, and the space freed.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/clean/cleaning_engine.hpp"
#include "support/fake_file_system.hpp"

namespace tarnwick::clean {
namespace {

using test::FakeFileSystem;
using test::FakeLink;
using test::FakeStep;

std::uint64_t clean(FakeFileSystem& fs, std::u16string windows = u"C:\\Windows") {
  CleaningEngine engine(fs, std::move(windows));
  SystemCleaner& cleaner = engine;
  const auto removed = cleaner.clean_system();
  EXPECT_TRUE(removed.ok());
  return removed.ok() ? removed.value() : 0;
}

// A folder any user may write, outside the targets, that must stay whole.
void add_outside(FakeFileSystem& fs) {
  fs.add_file(u"C:\\Users\\Public\\x\\precious.dat", 1000);
  fs.add_file(u"C:\\Users\\Public\\x\\sub\\config.sys", 10);
}
const std::vector<std::u16string> kOutside = {u"precious.dat", u"sub", u"sub\\config.sys"};

TEST(CleanSystem, EmptiesBothTargetsAndReturnsTheSpaceFreed) {
  FakeFileSystem fs;
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\Download\\update.cab", 1000);
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\Download\\sub\\part", 500);
  fs.add_file(u"D:\\Win\\Temp\\a.tmp", 100);
  fs.add_file(u"D:\\Win\\Temp\\b.tmp", 23);
  fs.add_file(u"D:\\Win\\Temp\\locked.log", 7);
  fs.add_link(u"D:\\Win\\Temp\\junction", FakeLink::Junction, u"D:\\Win\\System32");
  fs.add_file(u"D:\\Win\\System32\\kernel32.dll", 4096);
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\DataStore\\db", 10);
  fs.fail(FakeStep::Open, u"D:\\Win\\Temp\\locked.log", OsError{32});

  EXPECT_EQ(clean(fs, u"D:\\Win"), 1623u);
  EXPECT_TRUE(fs.contains(u"D:\\Win\\SoftwareDistribution\\Download"));
  EXPECT_TRUE(fs.entries_under(u"D:\\Win\\SoftwareDistribution\\Download").empty());
  EXPECT_EQ(fs.entries_under(u"D:\\Win\\Temp"), std::vector<std::u16string>{u"locked.log"});
  EXPECT_TRUE(fs.contains(u"D:\\Win\\System32\\kernel32.dll"));
  EXPECT_TRUE(fs.contains(u"D:\\Win\\SoftwareDistribution\\DataStore\\db"));
}

TEST(CleanSystem, ReturnsZeroAndTouchesNothingWhenThereIsNothingToRemove) {
  FakeFileSystem absent;
  absent.add_file(u"C:\\Windows\\notepad.exe", 10);
  absent.record_calls();
  EXPECT_EQ(clean(absent), 0u);
  for (const auto& [step, path] : absent.calls()) EXPECT_EQ(step, FakeStep::Open);

  FakeFileSystem only_empty;
  only_empty.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\empty", 0);
  only_empty.add_file(u"C:\\Windows\\Temp\\empty", 0);
  only_empty.add_folder(u"C:\\Windows\\Temp\\empty-folder");
  only_empty.record_calls();
  EXPECT_EQ(clean(only_empty), 0u);
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\empty"));
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\Temp\\empty"));
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\Temp\\empty-folder"));
  for (const auto& [step, path] : only_empty.calls()) EXPECT_NE(step, FakeStep::Mark);
}

// What any user can do to a target before the run: make it a link to a
// folder of theirs (or of the system's). The target is then absent, and
// nothing outside the targets is measured or deleted.
TEST(CleanSystem, ATargetThatIsItselfALinkLeavesEverythingOutsideItUntouched) {
  for (const FakeLink kind : {FakeLink::Junction, FakeLink::SymlinkToFolder}) {
    FakeFileSystem fs;
    add_outside(fs);
    fs.add_link(u"C:\\Windows\\Temp", kind, u"C:\\Users\\Public\\x");
    fs.add_link(u"C:\\Windows\\SoftwareDistribution\\Download", kind, u"C:\\Users\\Public\\x\\sub");
    EXPECT_EQ(clean(fs), 0u);
    EXPECT_EQ(fs.entries_under(u"C:\\Users\\Public\\x"), kOutside);
    EXPECT_TRUE(fs.contains(u"C:\\Windows\\Temp"));
    EXPECT_TRUE(fs.contains(u"C:\\Windows\\SoftwareDistribution\\Download"));
  }
}

// A folder listed in Temp, then swapped for a link before it is opened:
// directly in Temp it is left alone (it is no folder any more), deeper down
// it goes as a link. Either way what it points to stays whole.
TEST(CleanSystem, AFolderSwappedForALinkBetweenListingAndOpeningIsNeverFollowed) {
  struct Case {
    std::u16string swapped;
    std::uint64_t freed;
    std::vector<std::u16string> left;
  };
  const Case cases[] = {
      {u"C:\\Windows\\Temp\\sub", 4, {u"sub"}},
      {u"C:\\Windows\\Temp\\sub\\deeper", 6, {}},
  };
  for (const Case& c : cases) {
    const std::u16string swapped = c.swapped;
    FakeFileSystem fs;
    add_outside(fs);
    fs.add_file(u"C:\\Windows\\Temp\\sub\\deeper\\f", 1);
    fs.add_file(u"C:\\Windows\\Temp\\sub\\g", 2);
    fs.add_file(u"C:\\Windows\\Temp\\top", 4);
    // Temp is listed by the scan, then by the deletion; the swap comes after the second.
    fs.before(FakeStep::List, u"C:\\Windows\\Temp", [swapped](FakeFileSystem& scanned) {
      scanned.before(FakeStep::List, u"C:\\Windows\\Temp", [swapped](FakeFileSystem& listed) {
        listed.before(FakeStep::Open, swapped, [swapped](FakeFileSystem& f) {
          f.remove(swapped);
          f.add_link(swapped, FakeLink::Junction, u"C:\\Users\\Public\\x");
        });
      });
    });
    EXPECT_EQ(clean(fs), c.freed);
    EXPECT_EQ(fs.entries_under(u"C:\\Windows\\Temp"), c.left);
    EXPECT_EQ(fs.entries_under(u"C:\\Users\\Public\\x"), kOutside);
  }
}

// A file the listings showed that is a folder by the time it is deleted is
// not deleted as a file: it is opened as the folder it is and emptied, what
// it holds counted; a file swapped for a junction goes as the link.
TEST(CleanSystem, AFileSwappedForAFolderOrALinkAfterTheListingIsJudgedByWhatItIsNow) {
  struct Case {
    const char* what;
    std::u16string swapped;
    bool junction;
    std::uint64_t freed;
  };
  const Case cases[] = {
      {"in Temp, for a folder", u"C:\\Windows\\Temp\\f", false, 4 + 5},
      {"deeper, for a folder", u"C:\\Windows\\Temp\\sub\\f", false, 4 + 5},
      {"in Temp, for a junction", u"C:\\Windows\\Temp\\f", true, 4},
      {"deeper, for a junction", u"C:\\Windows\\Temp\\sub\\f", true, 4},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    add_outside(fs);
    fs.add_file(c.swapped, 3);
    fs.add_file(u"C:\\Windows\\Temp\\g", 4);
    const std::u16string swapped = c.swapped;
    const bool junction = c.junction;
    fs.before(FakeStep::List, u"C:\\Windows\\Temp", [swapped, junction](FakeFileSystem& scanned) {
      scanned.before(FakeStep::List, u"C:\\Windows\\Temp", [swapped, junction](FakeFileSystem& listed) {
        listed.before(FakeStep::Open, swapped, [swapped, junction](FakeFileSystem& f) {
          f.remove(swapped);
          if (junction) {
            f.add_link(swapped, FakeLink::Junction, u"C:\\Users\\Public\\x");
          } else {
            f.add_file(swapped + u"\\inside", 5);
          }
        });
      });
    });
    EXPECT_EQ(clean(fs), c.freed) << c.what;
    EXPECT_TRUE(fs.entries_under(u"C:\\Windows\\Temp").empty()) << c.what;
    EXPECT_EQ(fs.entries_under(u"C:\\Users\\Public\\x"), kOutside) << c.what;
    EXPECT_EQ(fs.links_followed(), 0) << c.what;
  }
}

// Names the path form would map to devices or trim are, relative to the
// folder's handle, just names: each is deleted as itself.
TEST(CleanSystem, DeletesDeviceNamedAndTrimmedEntriesAsThemselves) {
  FakeFileSystem fs;
  const std::u16string names[] = {u"NUL", u"con", u"COM1", u"aux.txt", u"x.", u"...", u"y "};
  std::uint64_t size = 1;
  std::uint64_t total = 0;
  for (const std::u16string& name : names) {
    fs.add_file(u"C:\\Windows\\Temp\\" + name, size);
    total += size;
    size *= 2;
  }
  fs.add_file(u"C:\\Windows\\Temp\\PRN\\inner", 1000);
  fs.add_file(u"C:\\Windows\\x", 5);
  fs.add_file(u"C:\\Windows\\win.ini", 5);
  EXPECT_EQ(clean(fs), total + 1000);
  EXPECT_TRUE(fs.entries_under(u"C:\\Windows\\Temp").empty());
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\x"));
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\win.ini"));
}

// The space freed: every plain file deleted at any depth whose last name
// went counts its size or its allocation, whichever is smaller; links,
// folders, files with another name left and what stayed count 0; the sum
// stops at 2^64 - 1.
TEST(CleanSystem, CountsTheSpaceActuallyFreed) {
  struct Case {
    const char* what;
    std::function<void(FakeFileSystem&)> build;
    std::uint64_t freed;
    std::vector<std::u16string> left;
  };
  const Case cases[] = {
      {"a file and a subfolder",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\Temp\\file", 100);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\a", 600);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\deeper\\b", 400);
       },
       1100,
       {}},
      {"a subfolder deleted in part",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\Temp\\sub\\a", 600);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\b-locked", 400);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\c", 50);
         fs.fail(FakeStep::Open, u"C:\\Windows\\Temp\\sub\\b-locked", OsError{32});
       },
       600,
       {u"sub", u"sub\\b-locked", u"sub\\c"}},
      {"links count 0, never their targets",
       [](FakeFileSystem& fs) {
         add_outside(fs);
         fs.add_link(u"C:\\Windows\\Temp\\file-link", FakeLink::SymlinkToFile, u"C:\\Users\\Public\\x\\precious.dat",
                     1000);
         fs.add_link(u"C:\\Windows\\Temp\\junction", FakeLink::Junction, u"C:\\Users\\Public\\x");
         fs.add_link(u"C:\\Windows\\Temp\\sub\\deep-link", FakeLink::SymlinkToFile,
                     u"C:\\Users\\Public\\x\\precious.dat", 1000);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\own", 3);
       },
       3,
       {}},
      {"a locked file counts 0",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\Temp\\locked", 700);
         fs.add_file(u"C:\\Windows\\Temp\\free", 7);
         fs.fail(FakeStep::Open, u"C:\\Windows\\Temp\\locked", OsError{32});
       },
       7,
       {u"locked"}},
      {"a file that refuses its deletion counts 0",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\Temp\\sub\\protected", 700);
         fs.add_file(u"C:\\Windows\\Temp\\free", 7);
         fs.fail(FakeStep::Mark, u"C:\\Windows\\Temp\\sub\\protected", OsError{5});
       },
       7,
       {u"sub", u"sub\\protected"}},
      {"a hard link to a file outside counts 0",
       [](FakeFileSystem& fs) {
         add_outside(fs);
         fs.add_hard_link(u"C:\\Windows\\Temp\\big.tmp", u"C:\\Users\\Public\\x\\precious.dat");
         fs.add_hard_link(u"C:\\Windows\\Temp\\sub\\deep.tmp", u"C:\\Users\\Public\\x\\precious.dat");
         fs.add_file(u"C:\\Windows\\Temp\\own", 9);
       },
       9,
       {}},
      {"two names inside count the file once, when its last name goes",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\Temp\\a", 300);
         fs.add_hard_link(u"C:\\Windows\\SoftwareDistribution\\Download\\b", u"C:\\Windows\\Temp\\a");
         fs.add_hard_link(u"C:\\Windows\\Temp\\sub\\c", u"C:\\Windows\\Temp\\a");
       },
       300,
       {}},
      {"a sparse or compressed file counts no more than it occupied",
       [](FakeFileSystem& fs) {
         constexpr std::uint64_t kSixteenTiB = std::uint64_t{16} << 40;
         for (const char16_t* name : {u"C:\\Windows\\Temp\\s1", u"C:\\Windows\\Temp\\s2", u"C:\\Windows\\Temp\\s3"}) {
           fs.add_file(name, kSixteenTiB, 0);
         }
         fs.add_file(u"C:\\Windows\\Temp\\compressed", 1000, 512);
         fs.add_file(u"C:\\Windows\\Temp\\ordinary", 100, 4096);
       },
       612,
       {}},
      {"the sum stops at 2^64 - 1",
       [](FakeFileSystem& fs) {
         const std::uint64_t half = std::uint64_t{1} << 63;
         fs.add_file(u"C:\\Windows\\Temp\\a", half);
         fs.add_file(u"C:\\Windows\\Temp\\b", half);
         fs.add_file(u"C:\\Windows\\Temp\\sub\\c", half);
       },
       std::numeric_limits<std::uint64_t>::max(),
       {}},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    c.build(fs);
    EXPECT_EQ(clean(fs), c.freed) << c.what;
    EXPECT_EQ(fs.entries_under(u"C:\\Windows\\Temp"), c.left) << c.what;
    if (fs.contains(u"C:\\Users\\Public\\x")) {
      EXPECT_EQ(fs.entries_under(u"C:\\Users\\Public\\x"), kOutside) << c.what;
      EXPECT_EQ(fs.state_of(u"C:\\Users\\Public\\x\\precious.dat")->size, 1000u) << c.what;
      EXPECT_EQ(fs.links_of(u"C:\\Users\\Public\\x\\precious.dat"), 1u) << c.what;
    }
  }
}

}  // namespace
}  // namespace tarnwick::clean

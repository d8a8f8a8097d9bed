// Measuring the targets: sizes from listings only, folders entered through
// handles and links never followed, a target that is a link absent,
// unreadable parts counted as 0, one progress report per target,
// cancellation between targets, and a work list that does not grow with
// the length of paths.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/clean/scan.hpp"
#include "support/fake_file_system.hpp"

namespace tarnwick::clean {
namespace {

using test::FakeFileSystem;
using test::FakeLink;
using test::FakeStep;

constexpr char16_t kUpdate[] = u"C:\\Windows\\SoftwareDistribution/Download";
constexpr char16_t kTemp[] = u"C:\\Windows\\Temp";

std::vector<CleanTarget> targets() { return {{"windows_update", kUpdate}, {"system_temp", kTemp}}; }

struct ScanRun {
  Result<ScanReport, EngineError> result{ScanReport{}};
  std::vector<ScanProgress> progress;
};

ScanRun scan(FakeFileSystem& fs, std::atomic<bool>& cancel, const std::function<void()>& during_report = {}) {
  ScanRun run;
  run.result = scan_with_progress(
      fs, targets(),
      [&](ScanProgress progress) {
        run.progress.push_back(std::move(progress));
        if (during_report) during_report();
      },
      cancel);
  return run;
}

// The size of the folder at `path`, measured as a target: 0 when absent.
std::uint64_t size_of(FakeFileSystem& fs, std::u16string_view path) {
  const auto folder = open_target(fs, path);
  return folder ? folder_size(*folder) : 0;
}

TEST(CleanFolderSize, AddsListedSizesOfPlainFilesAndNeverFollowsLinks) {
  struct Case {
    const char* what;
    std::function<void(FakeFileSystem&)> build;
    std::uint64_t size;
  };
  const Case cases[] = {
      {"files and a subfolder",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\t\\a", 10);
         fs.add_file(u"C:\\t\\b", 20);
         fs.add_file(u"C:\\t\\c", 0);
         fs.add_file(u"C:\\t\\sub\\d", 5);
       },
       35},
      {"only empty files and folders",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\t\\a", 0);
         fs.add_folder(u"C:\\t\\e1");
         fs.add_file(u"C:\\t\\e2\\deeper\\z", 0);
       },
       0},
      {"files deep in subfolders",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\t\\x\\y\\z\\f", 7);
         fs.add_file(u"C:\\t\\x\\g", 1);
       },
       8},
      {"links of every kind to big content",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\big\\data", 1'000'000);
         fs.add_link(u"C:\\t\\junction", FakeLink::Junction, u"C:\\big");
         fs.add_link(u"C:\\t\\dir-link", FakeLink::SymlinkToFolder, u"C:\\big");
         fs.add_link(u"C:\\t\\file-link", FakeLink::SymlinkToFile, u"C:\\big\\data", 1'000'000);
         fs.add_link(u"C:\\t\\sub\\deep-junction", FakeLink::Junction, u"C:\\big");
         fs.add_file(u"C:\\t\\sub\\own", 3);
       },
       3},
      {"a reparse point that is not a link is a folder like any other",
       [](FakeFileSystem& fs) {
         fs.add_reparse_folder(u"C:\\t\\placeholder", test::kReparseTagCloud);
         fs.add_file(u"C:\\t\\placeholder\\f", 9);
       },
       9},
      {"the path names a file", [](FakeFileSystem& fs) { fs.add_file(u"C:\\t", 50); }, 0},
      {"the path is missing", [](FakeFileSystem& fs) { fs.add_file(u"C:\\other", 50); }, 0},
      {"the path is a junction to a folder with data",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\big\\data", 1'000'000);
         fs.add_link(u"C:\\t", FakeLink::Junction, u"C:\\big");
       },
       0},
      {"the path is a reparse point that is not a link",
       [](FakeFileSystem& fs) {
         fs.add_reparse_folder(u"C:\\t", test::kReparseTagCloud);
         fs.add_file(u"C:\\t\\f", 9);
       },
       0},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    c.build(fs);
    EXPECT_EQ(size_of(fs, u"C:\\t"), c.size) << c.what;
  }
}

// The listing said "folder"; by the time it is opened it is a link to a big
// folder. The kind comes from the open entry, so it is not entered.
TEST(CleanFolderSize, DoesNotFollowASubfolderSwappedForALinkAfterItWasListed) {
  for (const FakeLink kind : {FakeLink::Junction, FakeLink::SymlinkToFolder}) {
    FakeFileSystem fs;
    fs.add_file(u"C:\\big\\data", 1'000'000);
    fs.add_file(u"C:\\t\\sub\\f", 1);
    fs.add_file(u"C:\\t\\g", 2);
    fs.before(FakeStep::Open, u"C:\\t\\sub", [kind](FakeFileSystem& f) {
      f.remove(u"C:\\t\\sub");
      f.add_link(u"C:\\t\\sub", kind, u"C:\\big");
    });
    EXPECT_EQ(size_of(fs, u"C:\\t"), 2u);
  }
}

TEST(CleanFolderSize, CountsWhatCannotBeOpenedOrListedAsZeroAndGoesOn) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\t\\a", 1);
  fs.add_file(u"C:\\t\\locked\\hidden", 100);
  fs.add_file(u"C:\\t\\partial\\1", 10);
  fs.add_file(u"C:\\t\\partial\\2", 20);
  fs.add_file(u"C:\\t\\partial\\3", 40);
  fs.add_file(u"C:\\t\\shut\\hidden", 200);
  fs.add_file(u"C:\\t\\z", 2);
  fs.fail(FakeStep::List, u"C:\\t\\locked", OsError{5});
  fs.fail(FakeStep::Open, u"C:\\t\\shut", OsError{32});
  fs.break_listing(u"C:\\t\\partial", 1, OsError{59});
  EXPECT_EQ(size_of(fs, u"C:\\t"), 1u + 10u + 2u);

  fs.fail(FakeStep::List, u"C:\\t", OsError{5});
  EXPECT_EQ(size_of(fs, u"C:\\t"), 0u);
}

TEST(CleanFolderSize, MeasuresATreeTenThousandLevelsDeep) {
  FakeFileSystem fs;
  std::u16string deepest = u"C:\\t";
  for (int level = 0; level < 10'000; ++level) deepest += u"\\d";
  fs.add_folder(deepest);
  fs.add_file(deepest + u"\\bottom", 3);
  fs.add_file(u"C:\\t\\top", 4);
  EXPECT_EQ(size_of(fs, u"C:\\t"), 7u);
}

// Below the deepest level any path can name, nothing is entered or counted.
TEST(CleanFolderSize, MeasuresNoDeeperThanAPathCanName) {
  for (const std::size_t levels : {FolderStack::kMaxDepth - 1, FolderStack::kMaxDepth}) {
    FakeFileSystem fs;
    std::u16string deepest = u"C:\\t";
    for (std::size_t level = 0; level < levels; ++level) deepest += u"\\d";
    fs.add_file(deepest + u"\\bottom", 3);
    fs.add_file(u"C:\\t\\top", 4);
    EXPECT_EQ(size_of(fs, u"C:\\t"), levels < FolderStack::kMaxDepth ? 7u : 4u) << levels;
  }
}

// 100,000 folders side by side, under a short path and under one of about
// 3,000 units. A work list of full paths would hold 100,000 copies of the
// long one (some 600 MB); one of names holds the same in both places.
TEST(CleanFolderSize, WorkListDoesNotGrowWithThePathLength) {
  std::u16string long_base = u"C:";
  for (int level = 0; level < 12; ++level)
    long_base += u"\\" + std::u16string(250, static_cast<char16_t>(u'a' + level));
  ASSERT_GT(long_base.size(), 3000u);
  std::size_t peak[2] = {};
  const std::u16string bases[2] = {u"C:\\s", long_base};
  for (int i = 0; i < 2; ++i) {
    FakeFileSystem fs;
    fs.add_folders(bases[i] + u"\\t", u"folder", 100'000);
    fs.add_file(bases[i] + u"\\t\\folder99999\\f", 5);
    const auto folder = open_target(fs, bases[i] + u"\\t");
    ASSERT_TRUE(folder);
    WorkListGauge gauge;
    EXPECT_EQ(folder_size(*folder, &gauge), 5u);
    EXPECT_EQ(gauge.held, 0u);
    peak[i] = gauge.peak;
  }
  EXPECT_EQ(peak[1], peak[0]);
  EXPECT_LT(peak[1], std::size_t{100'000} * long_base.size());
  std::printf("scan work list, 100,000 folders: peak %zu bytes (path of %zu units), %zu bytes (path of 4 units)\n",
              peak[1], long_base.size() + 2, peak[0]);
}

TEST(CleanScan, ReportsEveryTargetAndKeepsOnlyNonEmptyOnesAsItems) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\a", 100);
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\sub\\b", 23);
  fs.add_file(u"C:\\Windows\\Temp\\c", 50);
  std::atomic<bool> cancel{false};
  const ScanRun run = scan(fs, cancel);
  ASSERT_TRUE(run.result.ok());
  const ScanReport& report = run.result.value();
  ASSERT_EQ(report.items.size(), 2u);
  EXPECT_EQ(report.items[0].id, "windows_update");
  EXPECT_EQ(report.items[0].path, kUpdate);
  EXPECT_EQ(report.items[0].bytes, 123u);
  EXPECT_EQ(report.items[1].id, "system_temp");
  EXPECT_EQ(report.items[1].path, kTemp);
  EXPECT_EQ(report.items[1].bytes, 50u);
  EXPECT_EQ(report.total_bytes, 173u);

  ASSERT_EQ(run.progress.size(), 2u);
  const auto& first = run.progress[0];
  const auto& second = run.progress[1];
  EXPECT_EQ(first.id, "windows_update");
  EXPECT_EQ(first.path, kUpdate);
  EXPECT_EQ(first.bytes, 123u);
  EXPECT_EQ(first.total_bytes, 123u);
  EXPECT_EQ(first.index, 1u);
  EXPECT_EQ(first.count, 2u);
  EXPECT_EQ(second.id, "system_temp");
  EXPECT_EQ(second.path, kTemp);
  EXPECT_EQ(second.bytes, 50u);
  EXPECT_EQ(second.total_bytes, 173u);
  EXPECT_EQ(second.index, 2u);
  EXPECT_EQ(second.count, 2u);
}

// Sizes come from listings, which a hostile or broken file system may fill
// with anything: a sum past the largest value stays there instead of wrapping
// to 0 (or to less), which would make a full target look empty.
TEST(CleanScan, SizeSumsStopAtTheLargestValueInsteadOfWrapping) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\a", kMax);
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\sub\\b", 1);
  fs.add_file(u"C:\\Windows\\Temp\\c", kMax - 1);
  fs.add_file(u"C:\\Windows\\Temp\\d", 2);
  std::atomic<bool> cancel{false};
  const ScanRun run = scan(fs, cancel);
  ASSERT_TRUE(run.result.ok());
  const ScanReport& report = run.result.value();
  ASSERT_EQ(report.items.size(), 2u) << "no target looks empty";
  EXPECT_EQ(report.items[0].bytes, kMax);
  EXPECT_EQ(report.items[1].bytes, kMax);
  EXPECT_EQ(report.total_bytes, kMax);
  ASSERT_EQ(run.progress.size(), 2u);
  EXPECT_EQ(run.progress[1].total_bytes, kMax);
}

TEST(CleanScan, TargetsThatAreAbsentEmptyFilesLinksOrCannotBeOpenedMeasureZero) {
  struct Case {
    const char* what;
    std::function<void(FakeFileSystem&)> build;
  };
  const Case cases[] = {
      {"both absent", [](FakeFileSystem& fs) { fs.add_folder(u"C:\\Windows"); }},
      {"only empty files and folders",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\empty", 0);
         fs.add_folder(u"C:\\Windows\\Temp\\sub");
       }},
      {"files in place of folders",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download", 10);
         fs.add_file(u"C:\\Windows\\Temp", 10);
       }},
      {"cannot be opened",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\a", 10);
         fs.add_file(u"C:\\Windows\\Temp\\b", 10);
         fs.fail(FakeStep::Open, kUpdate, OsError{5});
         fs.fail(FakeStep::Open, kTemp, OsError{1920});
       }},
      {"links to folders with data",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Users\\Public\\x\\a", 10);
         fs.add_link(u"C:\\Windows\\SoftwareDistribution\\Download", FakeLink::Junction, u"C:\\Users\\Public\\x");
         fs.add_link(u"C:\\Windows\\Temp", FakeLink::SymlinkToFolder, u"C:\\Users\\Public\\x");
       }},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    c.build(fs);
    std::atomic<bool> cancel{false};
    const ScanRun run = scan(fs, cancel);
    ASSERT_TRUE(run.result.ok()) << c.what;
    EXPECT_TRUE(run.result.value().items.empty()) << c.what;
    EXPECT_EQ(run.result.value().total_bytes, 0u) << c.what;
    ASSERT_EQ(run.progress.size(), 2u) << c.what;
    for (std::uint32_t i = 0; i < 2; ++i) {
      EXPECT_EQ(run.progress[i].index, i + 1) << c.what;
      EXPECT_EQ(run.progress[i].count, 2u) << c.what;
      EXPECT_EQ(run.progress[i].bytes, 0u) << c.what;
      EXPECT_EQ(run.progress[i].total_bytes, 0u) << c.what;
    }
  }
}

TEST(CleanScan, OpensFoldersOnlyAndEachBelowTheTargetRelativeToItsParent) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\a", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\b", 2);
  fs.record_calls();
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(scan(fs, cancel).result.ok());
  // The fake names each call by the entry's full path; only the targets are
  // opened by one (open_target), the subfolder by its name (open_child).
  const std::vector<std::pair<FakeStep, std::u16string>> expected = {
      {FakeStep::Open, u"C:\\Windows\\SoftwareDistribution\\Download"},
      {FakeStep::Open, u"C:\\Windows\\Temp"},
      {FakeStep::Attributes, u"C:\\Windows\\Temp"},
      {FakeStep::List, u"C:\\Windows\\Temp"},
      {FakeStep::Open, u"C:\\Windows\\Temp\\sub"},
      {FakeStep::Attributes, u"C:\\Windows\\Temp\\sub"},
      {FakeStep::List, u"C:\\Windows\\Temp\\sub"},
  };
  EXPECT_EQ(fs.calls(), expected);
}

TEST(CleanScan, CancelledBeforeTheFirstTargetReportsNothing) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\a", 1);
  fs.record_calls();
  std::atomic<bool> cancel{true};
  const ScanRun run = scan(fs, cancel);
  ASSERT_FALSE(run.result.ok());
  EXPECT_EQ(run.result.error().message, "cancelado");
  EXPECT_TRUE(run.progress.empty());
  EXPECT_TRUE(fs.calls().empty());
}

TEST(CleanScan, CancelledDuringTheFirstReportLeavesTheSecondTargetUnmeasured) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\a", 1);
  fs.add_file(u"C:\\Windows\\Temp\\b", 2);
  fs.record_calls();
  std::atomic<bool> cancel{false};
  const ScanRun run = scan(fs, cancel, [&] { cancel.store(true, std::memory_order_relaxed); });
  ASSERT_FALSE(run.result.ok());
  EXPECT_EQ(run.result.error().message, "cancelado");
  ASSERT_EQ(run.progress.size(), 1u);
  EXPECT_EQ(run.progress[0].id, "windows_update");
  for (const auto& [step, path] : fs.calls()) EXPECT_EQ(path.find(u"Temp"), std::u16string::npos);
}

}  // namespace
}  // namespace tarnwick::clean

// Measuring the targets: sizes from listings only, links never followed,
// unreadable parts counted as 0, one progress report per target, and
// cancellation between targets.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
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

TEST(CleanDirSize, AddsListedSizesOfPlainFilesAndNeverFollowsLinks) {
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
         fs.add_link(u"C:\\t\\junction", FakeLink::junction, u"C:\\big");
         fs.add_link(u"C:\\t\\dir-link", FakeLink::symlink_to_folder, u"C:\\big");
         fs.add_link(u"C:\\t\\file-link", FakeLink::symlink_to_file, u"C:\\big\\data", 1'000'000);
         fs.add_link(u"C:\\t\\sub\\deep-junction", FakeLink::junction, u"C:\\big");
         fs.add_file(u"C:\\t\\sub\\own", 3);
       },
       3},
      {"a reparse point that is not a link is a folder like any other",
       [](FakeFileSystem& fs) {
         fs.add_reparse_folder(u"C:\\t\\placeholder", test::reparse_tag_cloud);
         fs.add_file(u"C:\\t\\placeholder\\f", 9);
       },
       9},
      {"the path names a file", [](FakeFileSystem& fs) { fs.add_file(u"C:\\t", 50); }, 0},
      {"the path is missing", [](FakeFileSystem& fs) { fs.add_file(u"C:\\other", 50); }, 0},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    c.build(fs);
    EXPECT_EQ(dir_size(fs, u"C:\\t"), c.size) << c.what;
  }
}

TEST(CleanDirSize, CountsWhatCannotBeListedAsZeroAndGoesOn) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\t\\a", 1);
  fs.add_file(u"C:\\t\\locked\\hidden", 100);
  fs.add_file(u"C:\\t\\partial\\1", 10);
  fs.add_file(u"C:\\t\\partial\\2", 20);
  fs.add_file(u"C:\\t\\partial\\3", 40);
  fs.add_file(u"C:\\t\\z", 2);
  fs.fail(FakeStep::list, u"C:\\t\\locked", FsError{5});
  fs.break_listing(u"C:\\t\\partial", 1, FsError{59});
  EXPECT_EQ(dir_size(fs, u"C:\\t"), 1u + 10u + 2u);

  fs.fail(FakeStep::list, u"C:\\t", FsError{5});
  EXPECT_EQ(dir_size(fs, u"C:\\t"), 0u);
}

TEST(CleanDirSize, MeasuresATreeTenThousandLevelsDeep) {
  FakeFileSystem fs;
  std::u16string deepest = u"C:\\t";
  for (int level = 0; level < 10'000; ++level) deepest += u"\\d";
  fs.add_folder(deepest);
  fs.add_file(deepest + u"\\bottom", 3);
  fs.add_file(u"C:\\t\\top", 4);
  EXPECT_EQ(dir_size(fs, u"C:\\t"), 7u);
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
  EXPECT_EQ(report.items[0].path, "C:\\Windows\\SoftwareDistribution/Download");
  EXPECT_EQ(report.items[0].bytes, 123u);
  EXPECT_EQ(report.items[1].id, "system_temp");
  EXPECT_EQ(report.items[1].path, "C:\\Windows\\Temp");
  EXPECT_EQ(report.items[1].bytes, 50u);
  EXPECT_EQ(report.total_bytes, 173u);

  ASSERT_EQ(run.progress.size(), 2u);
  const auto& first = run.progress[0];
  const auto& second = run.progress[1];
  EXPECT_EQ(first.id, "windows_update");
  EXPECT_EQ(first.path, "C:\\Windows\\SoftwareDistribution/Download");
  EXPECT_EQ(first.bytes, 123u);
  EXPECT_EQ(first.total_bytes, 123u);
  EXPECT_EQ(first.index, 1u);
  EXPECT_EQ(first.count, 2u);
  EXPECT_EQ(second.id, "system_temp");
  EXPECT_EQ(second.path, "C:\\Windows\\Temp");
  EXPECT_EQ(second.bytes, 50u);
  EXPECT_EQ(second.total_bytes, 173u);
  EXPECT_EQ(second.index, 2u);
  EXPECT_EQ(second.count, 2u);
}

TEST(CleanScan, TargetsThatAreAbsentEmptyFilesOrFailThePresenceTestMeasureZero) {
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
      {"presence test fails",
       [](FakeFileSystem& fs) {
         fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\a", 10);
         fs.add_file(u"C:\\Windows\\Temp\\b", 10);
         fs.fail(FakeStep::presence, kUpdate, FsError{5});
         fs.fail(FakeStep::presence, kTemp, FsError{1920});
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

TEST(CleanScan, OnlyLooksAtListingsAndOpensNoEntry) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\a", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\b", 2);
  fs.record_calls();
  std::atomic<bool> cancel{false};
  ASSERT_TRUE(scan(fs, cancel).result.ok());
  const std::vector<std::pair<FakeStep, std::u16string>> expected = {
      {FakeStep::presence, u"C:\\Windows\\SoftwareDistribution\\Download"},
      {FakeStep::presence, u"C:\\Windows\\Temp"},
      {FakeStep::list, u"C:\\Windows\\Temp"},
      {FakeStep::list, u"C:\\Windows\\Temp\\sub"},
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

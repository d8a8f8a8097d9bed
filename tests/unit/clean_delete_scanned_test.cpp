// Emptying the scanned targets through their handles: what goes, what is
// counted, the failure text of what stays, and a work list that does not
// grow with the length of paths.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/clean/delete_scanned.hpp"
#include "support/fake_file_system.hpp"

namespace tarnwick::clean {
namespace {

using test::FakeFileSystem;
using test::FakeLink;
using test::FakeStep;

constexpr char16_t kUpdate[] = u"C:\\Windows\\SoftwareDistribution/Download";
constexpr char16_t kTemp[] = u"C:\\Windows\\Temp";
ScanItem opened(FakeFileSystem& fs, const char* id, std::u16string_view path) {
  auto folder = open_target(fs, path);
  EXPECT_TRUE(folder) << id;
  return ScanItem{id, std::u16string(path), 1, std::move(folder)};
}

// A scan that found data in Temp only (the byte figure plays no part here).
ScanReport temp_scanned(FakeFileSystem& fs) {
  ScanReport report;
  report.items.push_back(opened(fs, "system_temp", kTemp));
  return report;
}
ScanReport both_scanned(FakeFileSystem& fs) {
  ScanReport report;
  report.items.push_back(opened(fs, "windows_update", kUpdate));
  report.items.push_back(opened(fs, "system_temp", kTemp));
  return report;
}

void add_precious(FakeFileSystem& fs) {
  fs.add_file(u"C:\\precious\\system.dll", 1000);
  fs.add_file(u"C:\\precious\\sub\\config.sys", 10);
}
const std::vector<std::u16string> kPrecious = {u"sub", u"sub\\config.sys", u"system.dll"};

TEST(CleanDeleteScanned, CountsPlainFilesAtAnyDepthAndEveryEntryInATargetOnce) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\file", 100);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\big", 600'000);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deeper\\big", 400'000);
  fs.add_file(u"C:\\Windows\\Temp\\empty", 0);
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_EQ(report.removed_bytes, 1'000'100u);
  EXPECT_EQ(report.removed_count, 3u);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_TRUE(fs.contains(kTemp));
  EXPECT_TRUE(fs.entries_under(kTemp).empty());
}

TEST(CleanDeleteScanned, RemovesLinksInATargetAsThemselvesAndLeavesWhatTheyPointTo) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_link(u"C:\\Windows\\Temp\\junction", FakeLink::Junction, u"C:\\precious");
  fs.add_link(u"C:\\Windows\\Temp\\dir-link", FakeLink::SymlinkToFolder, u"C:\\precious\\sub");
  fs.add_link(u"C:\\Windows\\Temp\\file-link", FakeLink::SymlinkToFile, u"C:\\precious\\system.dll", 1000);
  fs.add_link(u"C:\\Windows\\Temp\\sub\\deep-junction", FakeLink::Junction, u"C:\\precious");
  fs.record_calls();
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_EQ(report.removed_bytes, 0u);
  EXPECT_EQ(report.removed_count, 4u);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_TRUE(fs.entries_under(kTemp).empty());
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
  std::vector<std::u16string> marked;
  for (const auto& [step, path] : fs.calls()) {
    EXPECT_EQ(path.find(u"precious"), std::u16string::npos);
    if (step == FakeStep::Mark) marked.push_back(path);
  }
  EXPECT_EQ(marked, (std::vector<std::u16string>{u"C:\\Windows\\Temp\\dir-link", u"C:\\Windows\\Temp\\file-link",
                                                 u"C:\\Windows\\Temp\\junction",
                                                 u"C:\\Windows\\Temp\\sub\\deep-junction", u"C:\\Windows\\Temp\\sub"}));
}

TEST(CleanDeleteScanned, DescribesEachEntryThatStaysAndGoesOnWithTheNext) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\a-first", 1);
  fs.add_file(u"C:\\Windows\\Temp\\b-locked.log", 10);
  fs.add_file(u"C:\\Windows\\Temp\\c-protected", 20);
  fs.add_file(u"C:\\Windows\\Temp\\d-vanishing", 40);
  fs.add_file(u"C:\\Windows\\Temp\\e-odd", 80);
  fs.add_file(u"C:\\Windows\\Temp\\f-last", 2);
  fs.fail(FakeStep::Open, u"C:\\Windows\\Temp\\b-locked.log", OsError{32});
  fs.fail(FakeStep::Mark, u"C:\\Windows\\Temp\\c-protected", OsError{5});
  fs.before(FakeStep::Open, u"C:\\Windows\\Temp\\d-vanishing",
            [](FakeFileSystem& f) { f.remove(u"C:\\Windows\\Temp\\d-vanishing"); });
  fs.fail(FakeStep::Open, u"C:\\Windows\\Temp\\e-odd", OsError{1117});
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_EQ(report.failures, (std::vector<std::string>{
                                 "b-locked.log — estava em uso por outro programa",
                                 "c-protected — está protegido pelo sistema",
                                 "d-vanishing — já não estava mais lá",
                                 "e-odd — não pôde ser apagado agora",
                             }));
  EXPECT_EQ(report.removed_bytes, 3u);
  EXPECT_EQ(report.removed_count, 2u);
  EXPECT_EQ(fs.entries_under(kTemp), (std::vector<std::u16string>{u"b-locked.log", u"c-protected", u"e-odd"}));
  EXPECT_EQ(fs.pauses(), 0);  // directly in a target, nothing is tried twice
}

TEST(CleanDeleteScanned, ASubfolderThatFailsPartWayIsNamedWithTheFirstFailuresReasonAndCountsWhatWent) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\sub\\a", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\b", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\locked", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\z", 1);
  fs.add_file(u"C:\\Windows\\Temp\\after", 7);
  fs.fail(FakeStep::Open, u"C:\\Windows\\Temp\\sub\\deep\\locked", OsError{32});
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_EQ(report.failures, std::vector<std::string>{"sub — estava em uso por outro programa"});
  EXPECT_EQ(report.removed_bytes, 1u + 1u + 7u);
  EXPECT_EQ(report.removed_count, 1u);
  EXPECT_EQ(fs.entries_under(kTemp),
            (std::vector<std::u16string>{u"sub", u"sub\\deep", u"sub\\deep\\locked", u"sub\\deep\\z"}));
  EXPECT_EQ(fs.pauses(), 49);
}

TEST(CleanDeleteScanned, ASubfolderReplacedAfterTheListingIsNeverEntered) {
  struct Case {
    const char* what;
    std::function<void(FakeFileSystem&)> replace;
  };
  const Case cases[] = {
      {"by a file", [](FakeFileSystem& f) { f.add_file(u"C:\\Windows\\Temp\\sub", 5); }},
      {"by a junction",
       [](FakeFileSystem& f) { f.add_link(u"C:\\Windows\\Temp\\sub", FakeLink::Junction, u"C:\\precious"); }},
      {"by a folder symlink",
       [](FakeFileSystem& f) { f.add_link(u"C:\\Windows\\Temp\\sub", FakeLink::SymlinkToFolder, u"C:\\precious"); }},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    add_precious(fs);
    fs.add_file(u"C:\\Windows\\Temp\\sub\\f", 1);
    fs.before(FakeStep::Open, u"C:\\Windows\\Temp\\sub", [&c](FakeFileSystem& f) {
      f.remove(u"C:\\Windows\\Temp\\sub");
      c.replace(f);
    });
    const CleanReport report = delete_scanned(fs, temp_scanned(fs));
    EXPECT_EQ(report.failures, std::vector<std::string>{"sub — não pôde ser apagado agora"}) << c.what;
    EXPECT_EQ(report.removed_count, 0u) << c.what;
    EXPECT_TRUE(fs.contains(u"C:\\Windows\\Temp\\sub")) << c.what;
    EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious) << c.what;
  }
}

TEST(CleanDeleteScanned, ATargetThatCannotBeListedIsNamedAndTheNextIsStillCleaned) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\x", 5);
  fs.add_file(u"C:\\Windows\\Temp\\y", 6);
  fs.fail(FakeStep::List, kUpdate, OsError{5});
  const CleanReport report = delete_scanned(fs, both_scanned(fs));
  EXPECT_EQ(report.failures, std::vector<std::string>{"Download — está protegido pelo sistema"});
  EXPECT_EQ(report.removed_bytes, 6u);
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\x"));
}

// Between the scan and the deletion the target is moved away and a link to
// elsewhere put in its place: the deletion goes on through the handle the
// scan measured, and never reaches the link's target.
TEST(CleanDeleteScanned, ATargetSwappedForALinkSinceTheScanIsEmptiedThroughItsHandle) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_file(u"C:\\Windows\\Temp\\y", 6);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\z", 4);
  const ScanReport scan = temp_scanned(fs);
  fs.remove(kTemp);
  fs.add_link(kTemp, FakeLink::Junction, u"C:\\precious");
  const CleanReport report = delete_scanned(fs, scan);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 10u);
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
}

TEST(CleanDeleteScanned, ListsAfreshAndVisitsOnlyScannedTargets) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\unscanned", 5);
  fs.add_file(u"C:\\Windows\\Temp\\new-since-the-scan", 9);
  fs.record_calls();
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_EQ(report.removed_bytes, 9u);
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\unscanned"));
  for (const auto& [step, path] : fs.calls()) EXPECT_EQ(path.find(u"Download"), std::u16string::npos);
}

TEST(CleanDeleteScanned, AListingThatBreaksOffDeletesWhatItGotSilently) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\1", 1);
  fs.add_file(u"C:\\Windows\\Temp\\2", 2);
  fs.add_file(u"C:\\Windows\\Temp\\3", 4);
  fs.break_listing(kTemp, 2, OsError{59});
  const CleanReport report = delete_scanned(fs, temp_scanned(fs));
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 3u);
  EXPECT_EQ(fs.entries_under(kTemp), std::vector<std::u16string>{u"3"});
}

// 100,000 folders in a target, under a short path and under one of about
// 3,000 units: the deletion keeps the same names and handles in both.
TEST(CleanDeleteScanned, WorkListDoesNotGrowWithThePathLength) {
  std::u16string long_base = u"C:";
  for (int level = 0; level < 12; ++level)
    long_base += u"\\" + std::u16string(250, static_cast<char16_t>(u'a' + level));
  std::size_t peak[2] = {};
  const std::u16string bases[2] = {u"C:\\s", long_base};
  for (int i = 0; i < 2; ++i) {
    FakeFileSystem fs;
    const std::u16string temp = bases[i] + u"\\Temp";
    fs.add_folders(temp, u"folder", 100'000);
    fs.add_file(temp + u"\\folder5\\deeper\\f", 5);
    ScanReport scan;
    scan.items.push_back(opened(fs, "system_temp", temp));
    WorkListGauge gauge;
    const CleanReport report = delete_scanned(fs, scan, &gauge);
    EXPECT_EQ(report.removed_count, 100'000u);
    EXPECT_EQ(report.removed_bytes, 5u);
    EXPECT_TRUE(fs.entries_under(temp).empty());
    EXPECT_EQ(gauge.held, 0u);
    peak[i] = gauge.peak;
  }
  EXPECT_EQ(peak[1], peak[0]);
  EXPECT_LT(peak[1], std::size_t{100'000} * long_base.size());
  std::printf("deletion work list, 100,000 folders: peak %zu bytes (path of %zu units), %zu bytes (path of 4 units)\n",
              peak[1], long_base.size() + 5, peak[0]);
}

}  // namespace
}  // namespace tarnwick::clean

// Emptying the scanned targets: what goes, with which deletion, what is
// counted, and the failure text of what stays.

#include <gtest/gtest.h>

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
constexpr char kTempText[] = "C:\\Windows\\Temp";
constexpr char kUpdateText[] = "C:\\Windows\\SoftwareDistribution/Download";

// A scan that found data in Temp only (the byte figure plays no part here).
ScanReport temp_scanned() { return ScanReport{{{"system_temp", kTempText, 1}}, 1}; }
ScanReport both_scanned() {
  return ScanReport{{{"windows_update", kUpdateText, 1}, {"system_temp", kTempText, 1}}, 2};
}

void add_precious(FakeFileSystem& fs) {
  fs.add_file(u"C:\\precious\\system.dll", 1000);
  fs.add_file(u"C:\\precious\\sub\\config.sys", 10);
}
const std::vector<std::u16string> kPrecious = {u"sub", u"sub\\config.sys", u"system.dll"};

TEST(CleanDeleteScanned, CountsPlainFilesDirectlyInATargetAndEveryEntryOnce) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\file", 100);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\big", 600'000);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deeper\\big", 400'000);
  fs.add_file(u"C:\\Windows\\Temp\\empty", 0);
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_EQ(report.removed_bytes, 100u);
  EXPECT_EQ(report.removed_count, 3u);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_TRUE(fs.contains(kTemp));
  EXPECT_TRUE(fs.entries_under(kTemp).empty());
}

TEST(CleanDeleteScanned, RemovesLinksInATargetWithTheFileDeletionAndLeavesWhatTheyPointTo) {
  FakeFileSystem fs;
  add_precious(fs);
  fs.add_link(u"C:\\Windows\\Temp\\junction", FakeLink::junction, u"C:\\precious");
  fs.add_link(u"C:\\Windows\\Temp\\dir-link", FakeLink::symlink_to_folder, u"C:\\precious\\sub");
  fs.add_link(u"C:\\Windows\\Temp\\file-link", FakeLink::symlink_to_file, u"C:\\precious\\system.dll", 1000);
  fs.add_link(u"C:\\Windows\\Temp\\sub\\deep-junction", FakeLink::junction, u"C:\\precious");
  fs.record_calls();
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_EQ(report.removed_bytes, 0u);
  EXPECT_EQ(report.removed_count, 4u);
  EXPECT_TRUE(report.failures.empty());
  EXPECT_TRUE(fs.entries_under(kTemp).empty());
  EXPECT_EQ(fs.entries_under(u"C:\\precious"), kPrecious);
  std::vector<std::u16string> file_deletions;
  for (const auto& [step, path] : fs.calls()) {
    if (step == FakeStep::delete_file) file_deletions.push_back(path);
  }
  EXPECT_EQ(file_deletions, (std::vector<std::u16string>{u"C:\\Windows\\Temp\\dir-link", u"C:\\Windows\\Temp\\file-link",
                                                         u"C:\\Windows\\Temp\\junction"}));
}

TEST(CleanDeleteScanned, DescribesEachEntryThatStaysAndGoesOnWithTheNext) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\a-first", 1);
  fs.add_file(u"C:\\Windows\\Temp\\b-locked.log", 10);
  fs.add_file(u"C:\\Windows\\Temp\\c-protected", 20);
  fs.add_file(u"C:\\Windows\\Temp\\d-vanishing", 40);
  fs.add_file(u"C:\\Windows\\Temp\\e-odd", 80);
  fs.add_file(u"C:\\Windows\\Temp\\f-last", 2);
  fs.fail(FakeStep::delete_file, u"C:\\Windows\\Temp\\b-locked.log", FsError{32});
  fs.fail(FakeStep::delete_file, u"C:\\Windows\\Temp\\c-protected", FsError{5});
  fs.before(FakeStep::delete_file, u"C:\\Windows\\Temp\\d-vanishing",
            [](FakeFileSystem& f) { f.remove(u"C:\\Windows\\Temp\\d-vanishing"); });
  fs.fail(FakeStep::delete_file, u"C:\\Windows\\Temp\\e-odd", FsError{});
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_EQ(report.failures, (std::vector<std::string>{
                                 "b-locked.log — estava em uso por outro programa",
                                 "c-protected — está protegido pelo sistema",
                                 "d-vanishing — já não estava mais lá",
                                 "e-odd — não pôde ser apagado agora",
                             }));
  EXPECT_EQ(report.removed_bytes, 3u);
  EXPECT_EQ(report.removed_count, 2u);
  EXPECT_EQ(fs.entries_under(kTemp), (std::vector<std::u16string>{u"b-locked.log", u"c-protected", u"e-odd"}));
}

TEST(CleanDeleteScanned, ASubfolderThatFailsPartWayIsNamedWithTheFirstFailuresReason) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\sub\\a", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\b", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\locked", 1);
  fs.add_file(u"C:\\Windows\\Temp\\sub\\deep\\z", 1);
  fs.add_file(u"C:\\Windows\\Temp\\after", 7);
  fs.fail(FakeStep::open, u"C:\\Windows\\Temp\\sub\\deep\\locked", FsError{32});
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_EQ(report.failures, std::vector<std::string>{"sub — estava em uso por outro programa"});
  EXPECT_EQ(report.removed_bytes, 7u);
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
       [](FakeFileSystem& f) { f.add_link(u"C:\\Windows\\Temp\\sub", FakeLink::junction, u"C:\\precious"); }},
      {"by a folder symlink",
       [](FakeFileSystem& f) { f.add_link(u"C:\\Windows\\Temp\\sub", FakeLink::symlink_to_folder, u"C:\\precious"); }},
  };
  for (const Case& c : cases) {
    FakeFileSystem fs;
    add_precious(fs);
    fs.add_file(u"C:\\Windows\\Temp\\sub\\f", 1);
    fs.before(FakeStep::open, u"C:\\Windows\\Temp\\sub", [&c](FakeFileSystem& f) {
      f.remove(u"C:\\Windows\\Temp\\sub");
      c.replace(f);
    });
    const CleanReport report = delete_scanned(fs, temp_scanned());
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
  fs.fail(FakeStep::list, kUpdate, FsError{5});
  const CleanReport report = delete_scanned(fs, both_scanned());
  EXPECT_EQ(report.failures, std::vector<std::string>{"Download — está protegido pelo sistema"});
  EXPECT_EQ(report.removed_bytes, 6u);
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\x"));
}

TEST(CleanDeleteScanned, ATargetDeletedSinceTheScanIsGone) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\y", 6);
  fs.add_folder(u"C:\\Windows\\SoftwareDistribution");
  const CleanReport report = delete_scanned(fs, both_scanned());
  EXPECT_EQ(report.failures, std::vector<std::string>{"Download — já não estava mais lá"});
  EXPECT_EQ(report.removed_bytes, 6u);
}

TEST(CleanDeleteScanned, ListsAfreshAndVisitsOnlyScannedTargets) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\unscanned", 5);
  fs.add_file(u"C:\\Windows\\Temp\\new-since-the-scan", 9);
  fs.record_calls();
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_EQ(report.removed_bytes, 9u);
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\unscanned"));
  for (const auto& [step, path] : fs.calls()) EXPECT_EQ(path.find(u"Download"), std::u16string::npos);
}

TEST(CleanDeleteScanned, AListingThatBreaksOffDeletesWhatItGotSilently) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\1", 1);
  fs.add_file(u"C:\\Windows\\Temp\\2", 2);
  fs.add_file(u"C:\\Windows\\Temp\\3", 4);
  fs.break_listing(kTemp, 2, FsError{59});
  const CleanReport report = delete_scanned(fs, temp_scanned());
  EXPECT_TRUE(report.failures.empty());
  EXPECT_EQ(report.removed_bytes, 3u);
  EXPECT_EQ(fs.entries_under(kTemp), std::vector<std::u16string>{u"3"});
}

TEST(CleanDeleteScanned, AnItemPathThatIsNotTextIsAFailureNotAFolder) {
  FakeFileSystem fs;
  fs.add_file(u"C:\\Windows\\Temp\\y", 6);
  const CleanReport report = delete_scanned(fs, ScanReport{{{"system_temp", "C:\\\xff", 1}}, 1});
  EXPECT_EQ(report.failures, std::vector<std::string>{"C:\\\xff — não pôde ser apagado agora"});
  EXPECT_EQ(report.removed_count, 0u);
  EXPECT_TRUE(fs.contains(u"C:\\Windows\\Temp\\y"));
}

}  // namespace
}  // namespace tarnwick::clean

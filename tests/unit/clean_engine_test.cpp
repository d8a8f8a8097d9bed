// "clean-system" as the dispatcher runs it: targets from WINDIR, scan,
// deletion, and the bytes removed.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/clean/cleaning_engine.hpp"
#include "support/fake_file_system.hpp"

namespace tarnwick::clean {
namespace {

using test::FakeFileSystem;
using test::FakeLink;
using test::FakeStep;

class FixedEnvironment final : public Environment {
 public:
  explicit FixedEnvironment(std::optional<std::u16string> windir) : windir_(std::move(windir)) {}
  std::optional<std::u16string> variable(std::u16string_view name) const override {
    return name == u"WINDIR" ? windir_ : std::nullopt;
  }

 private:
  std::optional<std::u16string> windir_;
};

std::uint64_t clean(FakeFileSystem& fs, std::optional<std::u16string> windir) {
  FixedEnvironment environment(std::move(windir));
  CleaningEngine engine(fs, environment);
  SystemCleaner& cleaner = engine;
  const auto removed = cleaner.clean_system();
  EXPECT_TRUE(removed.ok());
  return removed.ok() ? removed.value() : 0;
}

TEST(CleanSystem, EmptiesBothTargetsAndReturnsTheBytesOfTheFilesDirectlyInThem) {
  FakeFileSystem fs;
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\Download\\update.cab", 1000);
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\Download\\sub\\part", 500);
  fs.add_file(u"D:\\Win\\Temp\\a.tmp", 100);
  fs.add_file(u"D:\\Win\\Temp\\b.tmp", 23);
  fs.add_file(u"D:\\Win\\Temp\\locked.log", 7);
  fs.add_link(u"D:\\Win\\Temp\\junction", FakeLink::junction, u"D:\\Win\\System32");
  fs.add_file(u"D:\\Win\\System32\\kernel32.dll", 4096);
  fs.add_file(u"D:\\Win\\SoftwareDistribution\\DataStore\\db", 10);
  fs.fail(FakeStep::delete_file, u"D:\\Win\\Temp\\locked.log", FsError{32});

  EXPECT_EQ(clean(fs, u"D:\\Win"), 1123u);
  EXPECT_TRUE(fs.entries_under(u"D:\\Win\\SoftwareDistribution\\Download").empty());
  EXPECT_EQ(fs.entries_under(u"D:\\Win\\Temp"), std::vector<std::u16string>{u"locked.log"});
  EXPECT_TRUE(fs.contains(u"D:\\Win\\System32\\kernel32.dll"));
  EXPECT_TRUE(fs.contains(u"D:\\Win\\SoftwareDistribution\\DataStore\\db"));
}

TEST(CleanSystem, ReturnsZeroAndTouchesNothingWhenThereIsNothingToRemove) {
  FakeFileSystem absent;
  absent.add_file(u"C:\\Windows\\notepad.exe", 10);
  absent.record_calls();
  EXPECT_EQ(clean(absent, std::nullopt), 0u);
  for (const auto& [step, path] : absent.calls()) EXPECT_EQ(step, FakeStep::presence);

  FakeFileSystem only_empty;
  only_empty.add_file(u"C:\\Windows\\SoftwareDistribution\\Download\\empty", 0);
  only_empty.add_file(u"C:\\Windows\\Temp\\empty", 0);
  only_empty.add_folder(u"C:\\Windows\\Temp\\empty-folder");
  EXPECT_EQ(clean(only_empty, std::nullopt), 0u);
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\SoftwareDistribution\\Download\\empty"));
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\Temp\\empty"));
  EXPECT_TRUE(only_empty.contains(u"C:\\Windows\\Temp\\empty-folder"));
}

// A WINDIR that is not absolute would name folders under the current
// directory; the engine cleans C:/Windows instead and never touches them.
TEST(CleanSystem, NeverCleansRelativeToTheCurrentDirectory) {
  for (const std::u16string windir : {u"", u"C:", u"C:Windows", u"Windows", u"\\Windows"}) {
    FakeFileSystem fs;
    fs.add_file(u"Windows\\Temp\\cwd-file", 50);
    fs.add_file(u"Temp\\cwd-file", 50);
    fs.add_file(u"C:\\Temp\\drive-root-file", 50);
    fs.add_file(u"C:\\Windows\\Temp\\system-file", 5);
    EXPECT_EQ(clean(fs, windir), 5u);
    EXPECT_TRUE(fs.contains(u"Windows\\Temp\\cwd-file"));
    EXPECT_TRUE(fs.contains(u"Temp\\cwd-file"));
    EXPECT_TRUE(fs.contains(u"C:\\Temp\\drive-root-file"));
    EXPECT_FALSE(fs.contains(u"C:\\Windows\\Temp\\system-file"));
  }
}

}  // namespace
}  // namespace tarnwick::clean

// The two cleaning targets under the Windows directory the engine is given.

#include <gtest/gtest.h>

#include <string>

#include "common/utf.hpp"
#include "engine/clean/clean_targets.hpp"

namespace tarnwick::clean {
namespace {

std::string text(std::u16string_view path) { return utf16_to_utf8_lossy(path); }

TEST(CleanTargets, AreTheUpdateDownloadsThenTempUnderTheWindowsDirectory) {
  struct Case {
    std::u16string windows;
    std::string update, temp;
  };
  const Case cases[] = {
      {u"C:\\WINDOWS", "C:\\WINDOWS\\SoftwareDistribution/Download", "C:\\WINDOWS\\Temp"},
      {u"C:\\Windows\\", "C:\\Windows\\SoftwareDistribution/Download", "C:\\Windows\\Temp"},
      {u"D:/Win", "D:/Win\\SoftwareDistribution/Download", "D:/Win\\Temp"},
      {u"\\\\?\\C:\\Windows", "\\\\?\\C:\\Windows\\SoftwareDistribution\\Download", "\\\\?\\C:\\Windows\\Temp"},
      {u"\\\\server\\share\\Windows", "\\\\server\\share\\Windows\\SoftwareDistribution/Download",
       "\\\\server\\share\\Windows\\Temp"},
      {u"C:\\Win\u00e9", "C:\\Win\xc3\xa9\\SoftwareDistribution/Download", "C:\\Win\xc3\xa9\\Temp"},
  };
  for (const Case& c : cases) {
    const auto targets = system_targets(c.windows);
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].id, "windows_update");
    EXPECT_EQ(text(targets[0].path), c.update) << text(c.windows);
    EXPECT_EQ(targets[1].id, "system_temp");
    EXPECT_EQ(text(targets[1].path), c.temp) << text(c.windows);
  }
}

}  // namespace
}  // namespace tarnwick::clean

// The two cleaning targets under the Windows directory named by WINDIR.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "common/utf.hpp"
#include "engine/clean/clean_targets.hpp"

namespace tarnwick::clean {
namespace {

class FakeEnvironment final : public Environment {
 public:
  std::optional<std::u16string> variable(std::u16string_view name) const override {
    ++reads;
    const auto it = values.find(std::u16string(name));
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::u16string, std::u16string> values;
  mutable int reads = 0;
};

std::string text(std::u16string_view path) { return utf16_to_utf8_lossy(path); }

struct Expected {
  std::string update;
  std::string temp;
};

Expected targets_for(const FakeEnvironment& environment) {
  const auto targets = system_targets(environment);
  EXPECT_EQ(targets.size(), 2u);
  EXPECT_EQ(targets.at(0).id, "windows_update");
  EXPECT_EQ(targets.at(1).id, "system_temp");
  return {text(targets.at(0).path), text(targets.at(1).path)};
}

TEST(CleanTargets, AreTheUpdateDownloadsThenTempUnderWindir) {
  struct Case {
    std::u16string windir;
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
    FakeEnvironment environment;
    environment.values[u"WINDIR"] = c.windir;
    const Expected got = targets_for(environment);
    EXPECT_EQ(got.update, c.update) << text(c.windir);
    EXPECT_EQ(got.temp, c.temp) << text(c.windir);
  }
}

// A value that is absent, not valid UTF-16, or not an absolute path would
// either fail to convert or put the targets under the current directory:
// the fixed Windows directory stands in for it.
TEST(CleanTargets, FallBackToCWindowsWhenWindirIsAbsentInvalidOrNotAbsolute) {
  const std::optional<std::u16string> values[] = {
      std::nullopt,
      std::u16string(1, char16_t(0xD800)),
      u"C:\\Win" + std::u16string(1, char16_t(0xDC00)),
      u"",
      u"C:",
      u"c:",
      u"C:Windows",
      u"Windows",
      u".\\Windows",
      u"..\\Windows",
      u"\\Windows",
      u"/Windows",
  };
  for (const auto& value : values) {
    FakeEnvironment environment;
    if (value) environment.values[u"WINDIR"] = *value;
    const Expected got = targets_for(environment);
    EXPECT_EQ(got.update, "C:/Windows\\SoftwareDistribution/Download") << (value ? text(*value) : "(absent)");
    EXPECT_EQ(got.temp, "C:/Windows\\Temp") << (value ? text(*value) : "(absent)");
  }
}

TEST(CleanTargets, ReadWindirAfreshOnEveryCall) {
  FakeEnvironment environment;
  environment.values[u"WINDIR"] = u"C:\\First";
  EXPECT_EQ(targets_for(environment).temp, "C:\\First\\Temp");
  environment.values[u"WINDIR"] = u"D:\\Second";
  EXPECT_EQ(targets_for(environment).temp, "D:\\Second\\Temp");
  environment.values.clear();
  EXPECT_EQ(targets_for(environment).temp, "C:/Windows\\Temp");
  EXPECT_EQ(environment.reads, 3);
}

}  // namespace
}  // namespace tarnwick::clean

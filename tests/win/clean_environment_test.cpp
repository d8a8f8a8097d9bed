// The cleaning targets from the real process environment.

#include <gtest/gtest.h>

#include <string>

#include "common/utf.hpp"
#include "engine/clean/clean_targets.hpp"
#include "engine/clean/win_environment.hpp"
#include "win/support/folder_tree.hpp"

namespace tarnwick::clean {
namespace {

using test::ScopedVariable;

std::vector<std::string> target_paths() {
  std::vector<std::string> paths;
  for (const CleanTarget& target : system_targets(WinEnvironment{})) paths.push_back(utf16_to_utf8_lossy(target.path));
  return paths;
}

TEST(CleanWinEnvironment, TargetsFollowWindirAsThisProcessSetsIt) {
  struct Case {
    const wchar_t* windir;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {L"C:\\WINDOWS", {"C:\\WINDOWS\\SoftwareDistribution/Download", "C:\\WINDOWS\\Temp"}},
      {L"C:\\Windows\\", {"C:\\Windows\\SoftwareDistribution/Download", "C:\\Windows\\Temp"}},
      {nullptr, {"C:/Windows\\SoftwareDistribution/Download", "C:/Windows\\Temp"}},
      {L"", {"C:/Windows\\SoftwareDistribution/Download", "C:/Windows\\Temp"}},
      {L"C:", {"C:/Windows\\SoftwareDistribution/Download", "C:/Windows\\Temp"}},
      {L"Windows", {"C:/Windows\\SoftwareDistribution/Download", "C:/Windows\\Temp"}},
  };
  for (const Case& c : cases) {
    const ScopedVariable windir(L"WINDIR", c.windir);
    EXPECT_EQ(target_paths(), c.paths) << (c.windir ? utf16_to_utf8_lossy(reinterpret_cast<const char16_t*>(c.windir))
                                                     : "(absent)");
  }
}

TEST(CleanWinEnvironment, TellsAnEmptyValueFromAnAbsentOneAndReadsLongValuesWhole) {
  const WinEnvironment environment;
  {
    const ScopedVariable empty(L"TARNWICK_CLEAN_TEST", L"");
    EXPECT_EQ(environment.variable(u"TARNWICK_CLEAN_TEST"), std::u16string());
  }
  {
    const ScopedVariable absent(L"TARNWICK_CLEAN_TEST", nullptr);
    EXPECT_EQ(environment.variable(u"TARNWICK_CLEAN_TEST"), std::nullopt);
  }
  const std::wstring long_value = L"C:\\" + std::wstring(1000, L'w');
  const ScopedVariable long_one(L"TARNWICK_CLEAN_TEST", long_value.c_str());
  EXPECT_EQ(environment.variable(u"TARNWICK_CLEAN_TEST"), u"C:\\" + std::u16string(1000, u'w'));
}

}  // namespace
}  // namespace tarnwick::clean

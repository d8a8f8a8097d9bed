// Windows path rules of the cleaning engine: joins, what counts as absolute,
// the name a failure text shows, and the hand-over of a path to the system.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/utf.hpp"
#include "engine/clean/system_path.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

std::string text(std::u16string_view path) { return utf16_to_utf8_lossy(path); }

TEST(CleanJoinPath, PutsOneBackslashBetweenUnlessTheBaseEndsInASeparatorOrIsABareDrive) {
  struct Case {
    std::u16string base, tail, joined;
  };
  const Case cases[] = {
      {u"C:\\WINDOWS", u"SoftwareDistribution/Download", u"C:\\WINDOWS\\SoftwareDistribution/Download"},
      {u"C:\\WINDOWS", u"Temp", u"C:\\WINDOWS\\Temp"},
      {u"C:\\Windows\\", u"Temp", u"C:\\Windows\\Temp"},
      {u"C:/Windows", u"SoftwareDistribution/Download", u"C:/Windows\\SoftwareDistribution/Download"},
      {u"C:/Windows/", u"Temp", u"C:/Windows/Temp"},
      {u"C:", u"Temp", u"C:Temp"},
      {u"C:\\", u"Temp", u"C:\\Temp"},
      {u"\\\\server\\share", u"Temp", u"\\\\server\\share\\Temp"},
      {u"", u"Temp", u"Temp"},
      // The extended-length form takes no forward slash.
      {u"\\\\?\\C:\\Windows", u"SoftwareDistribution/Download", u"\\\\?\\C:\\Windows\\SoftwareDistribution\\Download"},
      {u"\\\\?\\C:\\Windows\\", u"a/b/c", u"\\\\?\\C:\\Windows\\a\\b\\c"},
      {u"\\\\?\\C:", u"Temp", u"\\\\?\\C:\\Temp"},
      {u"\\??\\C:\\Windows", u"SoftwareDistribution/Download", u"\\??\\C:\\Windows\\SoftwareDistribution\\Download"},
      {u"C:\\Temp", u"*", u"C:\\Temp\\*"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text(join_path(c.base, c.tail)), text(c.joined)) << text(c.base) << " + " << text(c.tail);
  }
}

TEST(CleanAbsolutePath, OnlyPathsThatDoNotDependOnTheCurrentDirectoryOrDrive) {
  struct Case {
    std::u16string path;
    bool absolute;
  };
  const Case cases[] = {
      {u"C:\\Windows", true},
      {u"c:/Windows", true},
      {u"C:\\", true},
      {u"\\\\server\\share", true},
      {u"//server/share", true},
      {u"\\\\?\\C:\\Windows", true},
      {u"\\\\.\\C:\\Windows", true},
      {u"\\??\\C:\\Windows", true},
      {u"", false},
      {u"C:", false},
      {u"C:Windows", false},
      {u"\\Windows", false},
      {u"/Windows", false},
      {u"Windows", false},
      {u".\\Windows", false},
      {u"..\\Windows", false},
      {u"1:\\Windows", false},
      {u"CC:\\Windows", false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_absolute_path(c.path), c.absolute) << text(c.path);
}

TEST(CleanLastComponent, IsTheLastOrdinaryNameOrNothing) {
  struct Case {
    std::u16string path;
    std::optional<std::u16string> name;
  };
  const Case cases[] = {
      {u"C:/Windows\\SoftwareDistribution/Download", u"Download"},
      {u"C:\\Windows\\Temp\\setup.log", u"setup.log"},
      {u"C:\\Windows\\Temp\\", u"Temp"},
      {u"C:\\Windows\\Temp\\.", u"Temp"},
      {u"relative", u"relative"},
      {u"C:file.txt", u"file.txt"},
      {u"\\\\?\\C:\\Windows\\Temp\\a", u"a"},
      // A forward slash is part of a name in the extended-length form.
      {u"\\\\?\\C:\\Windows\\a/b", u"a/b"},
      {u"\\\\?\\UNC\\server\\share\\x", u"x"},
      {u"\\\\server\\share\\x", u"x"},
      {u"C:\\", std::nullopt},
      {u"C:", std::nullopt},
      {u"\\", std::nullopt},
      {u"", std::nullopt},
      {u"C:\\Windows\\..", std::nullopt},
      {u"\\\\server\\share", std::nullopt},
      {u"\\\\server\\share\\", std::nullopt},
      {u"\\\\?\\C:\\", std::nullopt},
      {u"\\\\?\\UNC\\server\\share", std::nullopt},
      {u"\\\\.\\COM1", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto name = last_ordinary_component(c.path);
    ASSERT_EQ(name.has_value(), c.name.has_value()) << text(c.path);
    if (name) {
      EXPECT_EQ(text(*name), text(*c.name)) << text(c.path);
    }
  }
}

// Stands in for GetFullPathNameW with the current directory C:\work:
// separators become backslashes and the path is anchored.
class FakeFullPath {
 public:
  Result<std::u16string, OsError> operator()(std::u16string_view path) {
    calls.emplace_back(path);
    std::u16string full;
    if (path == u".") {
      full = u"C:\\work";
    } else if (path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/')) {
      full = path;
    } else if (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/')) {
      full = path;
    } else if (path.size() >= 2 && path[1] == u':') {
      full = std::u16string(path.substr(0, 2)) + u"\\work\\" + std::u16string(path.substr(2));
    } else if (!path.empty() && (path[0] == u'\\' || path[0] == u'/')) {
      full = u"C:" + std::u16string(path);
    } else {
      full = u"C:\\work\\" + std::u16string(path);
    }
    for (auto& c : full) {
      if (c == u'/') c = u'\\';
    }
    return full;
  }
  std::vector<std::u16string> calls;
};

TEST(CleanSystemPath, LongOrRelativePathsGoOverInExtendedLengthForm) {
  const std::u16string long_name(300, u'a');
  const std::u16string at_threshold(247 - 3, u'b');     // "C:\" + 244 = 247 units + NUL = 248
  const std::u16string below_threshold(246 - 3, u'c');  // 246 units + NUL = 247
  struct Case {
    std::u16string path;
    std::u16string handed_over;
    bool resolved;
  };
  const std::vector<Case> cases = {
      {u"C:\\Windows\\Temp", u"C:\\Windows\\Temp", false},
      {u"C:/Windows\\SoftwareDistribution/Download", u"C:/Windows\\SoftwareDistribution/Download", false},
      {u"C:\\" + below_threshold, u"C:\\" + below_threshold, false},
      {u"C:\\" + at_threshold, u"\\\\?\\C:\\" + at_threshold, true},
      {u"C:/Windows/" + long_name, u"\\\\?\\C:\\Windows\\" + long_name, true},
      {u"\\\\server\\share\\" + long_name, u"\\\\?\\UNC\\server\\share\\" + long_name, true},
      {u"//server/share/" + long_name, u"\\\\?\\UNC\\server\\share\\" + long_name, true},
      {u"\\\\server\\share\\x", u"\\\\server\\share\\x", false},
      {u"Temp", u"\\\\?\\C:\\work\\Temp", true},
      {u"C:Temp", u"\\\\?\\C:\\work\\Temp", true},
      {u"\\Windows\\Temp", u"\\\\?\\C:\\Windows\\Temp", true},
      {u"\\\\?\\C:\\" + long_name, u"\\\\?\\C:\\" + long_name, false},
      {u"\\\\?\\C:\\a/b", u"\\\\?\\C:\\a/b", false},
      {u"\\??\\C:\\" + long_name, u"\\??\\C:\\" + long_name, false},
      {u"\\\\.\\C:\\" + long_name, u"\\\\.\\C:\\" + long_name, true},
  };
  for (const Case& c : cases) {
    FakeFullPath full_path;
    const auto handed = system_path(c.path, std::ref(full_path));
    ASSERT_TRUE(handed.ok()) << text(c.path);
    EXPECT_EQ(text(handed.value()), text(c.handed_over)) << text(c.path);
    EXPECT_EQ(full_path.calls.size(), c.resolved ? 1u : 0u) << text(c.path);
  }
}

// Windows trims a trailing dot or space from a name: "x." would stand for
// "x", and "..." or ".. " for the folder that holds it. Such a name is
// handed over literally, with only the part before it made absolute.
TEST(CleanSystemPath, HandsOverNamesWindowsWouldTrimLiterally) {
  struct Case {
    std::u16string path;
    std::u16string handed_over;
    std::u16string resolved;
  };
  const std::vector<Case> cases = {
      {u"C:\\Windows\\Temp\\...", u"\\\\?\\C:\\Windows\\Temp\\...", u"C:\\Windows\\Temp\\"},
      {u"C:\\Windows\\Temp\\.. ", u"\\\\?\\C:\\Windows\\Temp\\.. ", u"C:\\Windows\\Temp\\"},
      {u"C:\\Windows\\Temp\\x.", u"\\\\?\\C:\\Windows\\Temp\\x.", u"C:\\Windows\\Temp\\"},
      {u"C:/Windows\\Temp\\x \\y", u"\\\\?\\C:\\Windows\\Temp\\x \\y", u"C:/Windows\\Temp\\"},
      {u"C:\\Windows\\Temp\\x.\\y/z", u"\\\\?\\C:\\Windows\\Temp\\x.\\y\\z", u"C:\\Windows\\Temp\\"},
      {u"\\\\server\\share\\x.", u"\\\\?\\UNC\\server\\share\\x.", u"\\\\server\\share\\"},
      {u"x.", u"\\\\?\\C:\\work\\x.", u"."},
      {u"C:x.", u"\\\\?\\C:\\work\\x.", u"C:"},
  };
  for (const Case& c : cases) {
    FakeFullPath full_path;
    const auto handed = system_path(c.path, std::ref(full_path));
    ASSERT_TRUE(handed.ok()) << text(c.path);
    EXPECT_EQ(text(handed.value()), text(c.handed_over)) << text(c.path);
    EXPECT_EQ(full_path.calls, std::vector<std::u16string>{c.resolved}) << text(c.path);
  }
  // "." and ".." keep their meaning; so does a dot inside a name.
  for (const std::u16string& path :
       {std::u16string(u"C:\\Windows\\..\\Windows\\Temp"), std::u16string(u"C:\\a.b\\.\\c")}) {
    FakeFullPath full_path;
    EXPECT_EQ(text(system_path(path, std::ref(full_path)).value()), text(path));
  }
}

TEST(CleanSystemPath, RefusesANulInsideBeforeAnyCallAndPassesOnResolverErrors) {
  FakeFullPath full_path;
  for (const std::u16string& path :
       {std::u16string(u"C:\\Temp\0x", 10), std::u16string(u"rel\0", 4), std::u16string(u"\\\\?\\C:\\\0", 8)}) {
    const auto handed = system_path(path, std::ref(full_path));
    ASSERT_FALSE(handed.ok());
    EXPECT_EQ(handed.error(), OsError{123});  // ERROR_INVALID_NAME, as the system says
  }
  EXPECT_TRUE(full_path.calls.empty());

  const auto failing = [](std::u16string_view) -> Result<std::u16string, OsError> { return Err{OsError{123}}; };
  const auto handed = system_path(u"relative", failing);
  ASSERT_FALSE(handed.ok());
  EXPECT_EQ(handed.error(), OsError{123});
}

}  // namespace
}  // namespace tarnwick::clean

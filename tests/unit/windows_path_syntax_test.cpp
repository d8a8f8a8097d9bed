// Windows path syntax: each form with the prefix it has, the components
// after it, and the last component's text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/utf.hpp"
#include "platform/windows_path_syntax.hpp"

namespace tarnwick::win {
namespace {

std::string text(std::u16string_view path) { return utf16_to_utf8_lossy(path); }

std::vector<std::string> components_of(std::u16string_view path) {
  std::vector<std::string> names;
  PathComponents components(path);
  while (const auto component = components.next()) {
    EXPECT_EQ(path.substr(component->position, component->name.size()), component->name) << text(path);
    names.push_back(text(component->name));
  }
  return names;
}

TEST(WindowsPathSyntax, EachFormWithItsPrefixAndComponents) {
  using F = PathForm;
  struct Case {
    std::u16string path;
    PathForm form;
    std::u16string prefix;
    std::vector<std::string> components;
  };
  const Case cases[] = {
      {u"", F::Relative, u"", {}},
      {u"Windows\\Temp", F::Relative, u"", {"Windows", "Temp"}},
      {u"..\\x/./y", F::Relative, u"", {"..", "x", ".", "y"}},
      {u"1:\\x", F::Relative, u"", {"1:", "x"}},
      {u"\\Windows", F::Rooted, u"", {"Windows"}},
      {u"/?\x3f/C:/x", F::Rooted, u"", {"??", "C:", "x"}},  // only backslashes make the object form
      {u"C:", F::DriveRelative, u"C:", {}},
      {u"c:Windows", F::DriveRelative, u"c:", {"Windows"}},
      {u"C:\\", F::DriveAbsolute, u"C:", {}},
      {u"C:/Windows//Temp\\", F::DriveAbsolute, u"C:", {"Windows", "Temp"}},
      {u"\\\\?\\C:\\Windows\\a/b", F::ExtendedDrive, u"\\\\?\\C:", {"Windows", "a/b"}},
      {u"\\\\?\\C:", F::ExtendedLength, u"\\\\?\\C:", {}},
      {u"\\\\?\\C:/x", F::ExtendedLength, u"\\\\?\\C:", {"/x"}},
      {u"\\\\?\\UNC\\server\\share\\x", F::ExtendedLength, u"\\\\?\\UNC\\server\\share", {"x"}},
      {u"\\\\?\\unc\\server", F::ExtendedLength, u"\\\\?\\unc\\server", {}},
      {u"\\\\?\\Volume{1}\\x", F::ExtendedLength, u"\\\\?\\Volume{1}", {"x"}},
      {u"\\??\\C:\\x", F::NtObject, u"\\??\\C:", {"x"}},
      {u"\\??\\GLOBALROOT\\Device\\Null", F::NtObject, u"\\??\\GLOBALROOT", {"Device", "Null"}},
      {u"\\\\.\\COM1", F::Device, u"\\\\.\\COM1", {}},
      {u"//./C:/x", F::Device, u"//./C:", {"x"}},
      {u"\\\\?/x\\y", F::Device, u"\\\\?/x", {"y"}},
      {u"\\\\server\\share\\x", F::Unc, u"\\\\server\\share", {"x"}},
      {u"//server/share/", F::Unc, u"//server/share", {}},
      {u"\\/server", F::Unc, u"\\/server", {}},
      {u"\\\\.", F::Unc, u"\\\\.", {}},  // no separator after the dot: a server named "."
  };
  for (const Case& c : cases) {
    EXPECT_EQ(path_form(c.path), c.form) << text(c.path);
    EXPECT_EQ(text(c.path.substr(0, prefix_length(c.path))), text(c.prefix)) << text(c.path);
    EXPECT_EQ(components_of(c.path), c.components) << text(c.path);
  }
}

TEST(WindowsPathSyntax, LiteralAndAbsoluteForms) {
  using F = PathForm;
  struct Case {
    PathForm form;
    bool literal, absolute;
  };
  const Case cases[] = {
      {F::Relative, false, false},     {F::Rooted, false, false},      {F::DriveRelative, false, false},
      {F::DriveAbsolute, false, true}, {F::ExtendedDrive, true, true}, {F::ExtendedLength, true, true},
      {F::NtObject, true, true},       {F::Device, false, true},       {F::Unc, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_literal(c.form), c.literal) << static_cast<int>(c.form);
    EXPECT_EQ(is_absolute(c.form), c.absolute) << static_cast<int>(c.form);
  }
}

TEST(WindowsPathSyntax, FinalComponentTextIsWhatFollowsTheLastSeparatorOrTheDrive) {
  struct Case {
    std::u16string path, final_text;
  };
  const Case cases[] = {
      {u"C:\\x\\nul.txt", u"nul.txt"},
      {u"C:/x/a b", u"a b"},
      {u"C:nul", u"nul"},
      {u"nul", u"nul"},
      {u"C:", u""},
      {u"C:\\x\\", u""},
      {u"", u""},
      {u"x.txt:s", u"x.txt:s"},
  };
  for (const Case& c : cases) EXPECT_EQ(text(final_component_text(c.path)), text(c.final_text)) << text(c.path);
}

}  // namespace
}  // namespace tarnwick::win

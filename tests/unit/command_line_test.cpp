#include <gtest/gtest.h>

#include "elevate/command_line.hpp"

namespace tarnwick {
namespace {

struct SplitCase {
  const char16_t* line;
  std::vector<std::u16string> args;
};

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
  const SplitCase cases[] = {
      // program path: quotes toggle and are dropped, backslashes literal
      {u"helper.exe", {u"helper.exe"}},
      {u"\"C:\\Program Files\\t.exe\" a", {u"C:\\Program Files\\t.exe", u"a"}},
      {u"C:\\dir\\\"x y\"\\t.exe a", {u"C:\\dir\\x y\\t.exe", u"a"}},
      {u"C:\\a\\\\ b", {u"C:\\a\\\\", u"b"}},
      // blanks: runs of spaces and tabs separate, leading and trailing ones vanish
      {u"p  a\t\tb  ", {u"p", u"a", u"b"}},
      {u"p \t ", {u"p"}},
      // quotes toggle and are dropped; blanks inside quotes stay
      {u"p \"a b\" c", {u"p", u"a b", u"c"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
      {u"p \"a\tb\"", {u"p", u"a\tb"}},
      // a quoted empty argument counts
      {u"p \"\" x", {u"p", u"", u"x"}},
      {u"p \"\"", {u"p", u""}},
      // two quotes inside a quoted stretch: one literal quote, still quoted
      {u"p \"a\"\"b c\"", {u"p", u"a\"b c"}},
      {u"p \"\"\"\"", {u"p", u"\""}},
      // backslashes before a quote: 2n give n and the quote toggles,
      // 2n+1 give n and a literal quote
      {u"p a\\\"b", {u"p", u"a\"b"}},
      {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},
      {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},
      {u"p \"a\\\\\" b", {u"p", u"a\\", u"b"}},
      // backslashes elsewhere are literal
      {u"p a\\\\b c\\", {u"p", u"a\\\\b", u"c\\"}},
      {u"p \\\\server\\share", {u"p", u"\\\\server\\share"}},
      // an unclosed quote runs to the end
      {u"p \"a b", {u"p", u"a b"}},
      // non-ASCII text passes through as UTF-16
      {u"p \u00e9t\u00e9 \U0001F600", {u"p", u"\u00e9t\u00e9", u"\U0001F600"}},
      // a line that starts with a blank has an empty program path
      {u" a", {u"", u"a"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split_command_line(c.line, u"fallback.exe"), c.args)
        << "line: " << std::string(c.line, c.line + std::char_traits<char16_t>::length(c.line));
  }
}

TEST(SplitCommandLine, EmptyLineGivesTheProgramPathOnly) {
  EXPECT_EQ(split_command_line(u"", u"C:\\tools\\helper.exe"), std::vector<std::u16string>{u"C:\\tools\\helper.exe"});
}

}  // namespace
}  // namespace tarnwick

#include <gtest/gtest.h>

#include "common/utf.hpp"

namespace tarnwick {
namespace {

TEST(Utf16ToUtf8, ConvertsPairsAndRefusesUnpairedSurrogatesWhenStrict) {
  struct Case {
    std::u16string input;
    std::optional<std::string> strict;
    std::string lossy;
  };
  const Case cases[] = {
      {u"", "", ""},
      {u"abc", "abc", "abc"},
      {u"\u00e9\u20ac", "\xc3\xa9\xe2\x82\xac", "\xc3\xa9\xe2\x82\xac"},
      {u"\U0001F600", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
      {std::u16string(1, char16_t(0xD800)), std::nullopt, "\xef\xbf\xbd"},
      {std::u16string{u'a', char16_t(0xDC00), u'b'}, std::nullopt,
       "a\xef\xbf\xbd"
       "b"},
      {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, std::nullopt, "\xef\xbf\xbd\xef\xbf\xbd"},
      {std::u16string(1, u'\0'), std::string(1, '\0'), std::string(1, '\0')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf16_to_utf8(c.input), c.strict);
    EXPECT_EQ(utf16_to_utf8_lossy(c.input), c.lossy);
  }
}

TEST(Utf8ToUtf16, RoundTripsValidTextAndRefusesIllFormedBytes) {
  EXPECT_EQ(utf8_to_utf16("a\xc3\xa9\xf0\x9f\x98\x80"),
            (std::u16string{u'a', u'\u00e9', char16_t(0xD83D), char16_t(0xDE00)}));
  for (const char* bad : {"\xff", "\xc3", "\xc0\x80", "\xe0\x80\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\x80"}) {
    EXPECT_EQ(utf8_to_utf16(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace tarnwick

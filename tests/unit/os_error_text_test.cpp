#include <gtest/gtest.h>

#include "platform/os_error_text.hpp"

namespace tarnwick::win {
namespace {

TEST(ComposeOsErrorText, MessageWithoutTrailingWhiteSpaceThenTheCode) {
  struct Case {
    std::uint32_t code;
    std::u16string message;
    std::string text;
  };
  const Case cases[] = {
      {2, u"The system cannot find the file specified.\r\n", "The system cannot find the file specified. (os error 2)"},
      {5, u"Access is denied.", "Access is denied. (os error 5)"},
      {5, u"Acc\u00e8s refus\u00e9.\r\n", "Acc\xc3\xa8s refus\xc3\xa9. (os error 5)"},
      {87, u"  Two\tlines\r\nkept inside. \t\v\f\r\n\u00a0\u3000\u2028", "  Two\tlines\r\nkept inside. (os error 87)"},
      {13, u"\r\n", " (os error 13)"},
      {4294967295u, u"Largest.", "Largest. (os error 4294967295)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(compose_os_error_text(c.code, c.message), c.text);
  }
}

TEST(ComposeOsErrorText, FallbackTextsWhenTheLookupFailsOrGivesInvalidUtf16) {
  EXPECT_EQ(compose_os_error_text(1234, Err{std::uint32_t{317}}),
            "OS Error 1234 (FormatMessageW() returned error 317) (os error 1234)");

  const std::u16string unpaired = {u'B', u'a', u'd', char16_t(0xD800), u'\r', u'\n'};
  EXPECT_EQ(compose_os_error_text(13, unpaired),
            "OS Error 13 (FormatMessageW() returned invalid UTF-16) (os error 13)");
}

}  // namespace
}  // namespace tarnwick::win

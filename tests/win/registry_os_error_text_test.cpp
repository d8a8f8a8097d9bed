// OS error texts from the system's message table. Wine's wording differs
// from Windows', so only the form is compared.

#include <gtest/gtest.h>

#include <cctype>

#include "platform/win/os_error_text_win.hpp"

namespace tarnwick::win {
namespace {

TEST(RegistryOsErrorText, SystemMessageThenTheCode) {
  // Codes the registry layer reports that Wine's tables also hold (Wine has
  // no text for 222, which then takes the lookup-failure form below).
  for (const unsigned code : {2u, 5u, 13u, 87u, 234u}) {
    const std::string text = os_error_text(code);
    const std::string suffix = " (os error " + std::to_string(code) + ")";
    ASSERT_TRUE(text.ends_with(suffix)) << text;
    const std::string message = text.substr(0, text.size() - suffix.size());
    EXPECT_FALSE(message.empty()) << code;
    EXPECT_FALSE(message.starts_with("OS Error")) << text;
    EXPECT_FALSE(std::isspace(static_cast<unsigned char>(message.back()))) << text;
  }
}

TEST(RegistryOsErrorText, CodeWithoutAMessageNamesTheLookupFailure) {
  const std::string text = os_error_text(0x0000FFF0);
  EXPECT_TRUE(text.starts_with("OS Error 65520 (FormatMessageW() returned error ")) << text;
  EXPECT_TRUE(text.ends_with(") (os error 65520)")) << text;
}

TEST(RegistryOsErrorText, NtStatusCodeKeepsTheOsErrorForm) {
  // STATUS_ACCESS_DENIED with the facility bit: looked up in NTDLL's table.
  const std::string text = os_error_text(0xD0000022);
  EXPECT_TRUE(text.ends_with(" (os error 3489660962)")) << text;
  EXPECT_GT(text.size(), std::string(" (os error 3489660962)").size());
}

}  // namespace
}  // namespace tarnwick::win

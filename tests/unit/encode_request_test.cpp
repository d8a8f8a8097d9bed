// encode_request: a request written back in the plain form the desktop app
// writes, which decode_request reads as the same request.

#include <gtest/gtest.h>

#include <string>

#include "common/hex.hpp"
#include "elevate/request/decode_request.hpp"
#include "elevate/request/encode_request.hpp"

namespace tarnwick {
namespace {

TEST(EncodeRequest, PlainFormOfEachActionDecodesToTheSameRequest) {
  struct Case {
    HelperAction action;
    std::string document;
  };
  const Case cases[] = {
      {CleanSystem{}, R"({"action":{"action":"clean-system"}})"},
      {StartupHklmList{}, R"({"action":{"action":"startup-hklm-list"}})"},
      {StartupHklmSet{"Tool", false},
       R"({"action":{"action":"startup-hklm-set","args":{"name":"Tool","enabled":false}}})"},
      {StartupHklmSet{"", true}, R"({"action":{"action":"startup-hklm-set","args":{"name":"","enabled":true}}})"},
      // Quote, backslash and controls escaped; DEL and non-ASCII text as they are.
      {StartupHklmSet{std::string("a\"b\\c\n\x1f\x7f\xc3\xa9\xf0\x9f\x98\x80", 14) + std::string(1, '\0'), true},
       "{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":"
       "\"a\\\"b\\\\c\\u000a\\u001f\x7f\xc3\xa9\xf0\x9f\x98\x80"
       "\\u0000\",\"enabled\":true}}}"},
  };
  for (const auto& c : cases) {
    const HelperRequest request{c.action};
    EXPECT_EQ(request_document(request), c.document);
    EXPECT_EQ(encode_request(request), hex_of(c.document));
    auto decoded = decode_request(encode_request(request));
    ASSERT_TRUE(decoded.ok()) << c.document;
    EXPECT_EQ(decoded.value().action.index(), c.action.index()) << c.document;
    if (const auto* set = std::get_if<StartupHklmSet>(&c.action)) {
      const auto& back = std::get<StartupHklmSet>(decoded.value().action);
      EXPECT_EQ(back.name, set->name);
      EXPECT_EQ(back.enabled, set->enabled);
    }
  }
}

// A name that is not UTF-8 cannot be sent: its text is refused, not altered.
TEST(EncodeRequest, NameThatIsNotUtf8GivesATextTheDecoderRefuses) {
  const auto decoded = decode_request(encode_request(HelperRequest{StartupHklmSet{"a\xff", true}}));
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(decoded.error(), "bad request payload: invalid utf-8 sequence of 1 bytes from index 56");
}

}  // namespace
}  // namespace tarnwick

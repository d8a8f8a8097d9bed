// The requests the client writes: exact JSON text, hex form, and that the
// helper's own decoder reads back exactly what was asked.

#include <gtest/gtest.h>

#include "client/request.hpp"
#include "elevate/request/decode_request.hpp"
#include "support/hex.hpp"

namespace tarnwick::client {
namespace {

using namespace std::string_literals;

TEST(ClientRequest, WritesTheCompactDocumentOfEachAction) {
  struct Case {
    ClientRequest request;
    std::string json;
  };
  const Case cases[] = {
      {ListStartupEntries{}, R"({"action":{"action":"startup-hklm-list"}})"},
      {CleanSystem{}, R"({"action":{"action":"clean-system"}})"},
      {SetStartupEnabled{"Tool", false},
       R"({"action":{"action":"startup-hklm-set","args":{"enabled":false,"name":"Tool"}}})"},
      {SetStartupEnabled{"", true}, R"({"action":{"action":"startup-hklm-set","args":{"enabled":true,"name":""}}})"},
  };
  for (const auto& c : cases) {
    const auto json = request_json(c.request);
    ASSERT_TRUE(json.ok()) << c.json;
    EXPECT_EQ(json.value(), c.json);
    EXPECT_EQ(request_hex(c.request).value(), test::hex_of(c.json));
  }
  EXPECT_EQ(request_hex(CleanSystem{}).value(),
            "7b22616374696f6e223a7b22616374696f6e223a22636c65616e2d73797374656d227d7d");
}

TEST(ClientRequest, EscapesEveryNameAsJsonRequiresAndTheHelperReadsItBack) {
  struct Case {
    std::string name;
    std::string written;  // the name as it appears inside the JSON string
  };
  const Case cases[] = {
      {"say \"hi\"", R"(say \"hi\")"},
      {R"(C:\Tools\a.exe)", R"(C:\\Tools\\a.exe)"},
      {"\\\"", R"(\\\")"},
      {"nul\0inside"s, R"(nul\u0000inside)"},
      {"tab\tline\nret\r\x01\x1f", R"(tab\tline\nret\r\u0001\u001f)"},
      {"caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x98\x80"},  // raw UTF-8
      {"slash/ and \x7f", "slash/ and \x7f"},
      {"}\"],{\"action\":\"clean-system", R"(}\"],{\"action\":\"clean-system)"},
  };
  for (const bool enabled : {false, true}) {
    for (const auto& c : cases) {
      const SetStartupEnabled set{c.name, enabled};
      const auto json = request_json(set);
      ASSERT_TRUE(json.ok());
      EXPECT_EQ(json.value(), R"({"action":{"action":"startup-hklm-set","args":{"enabled":)"s +
                                  (enabled ? "true" : "false") + R"(,"name":")" + c.written + R"("}}})");

      const auto decoded = decode_request(request_hex(set).value());
      ASSERT_TRUE(decoded.ok()) << decoded.error();
      const auto* action = std::get_if<StartupHklmSet>(&decoded.value().action);
      ASSERT_NE(action, nullptr);
      EXPECT_EQ(action->name, c.name);
      EXPECT_EQ(action->enabled, enabled);
    }
  }
}

TEST(ClientRequest, TheHelperDecodesTheActionsWithoutArguments) {
  EXPECT_TRUE(std::holds_alternative<StartupHklmList>(
      decode_request(request_hex(ListStartupEntries{}).value()).value().action));
  EXPECT_TRUE(
      std::holds_alternative<tarnwick::CleanSystem>(decode_request(request_hex(CleanSystem{}).value()).value().action));
}

TEST(ClientRequest, ANameThatIsNotUtf8IsNotSent) {
  for (const char* bad : {"\xff", "a\xc3", "\xed\xa0\x80", "\xc0\xaf", "\xf4\x90\x80\x80"}) {
    const auto hex = request_hex(SetStartupEnabled{bad, false});
    ASSERT_FALSE(hex.ok()) << bad;
    EXPECT_EQ(hex.error().kind, ErrorKind::InvalidRequest);
    EXPECT_EQ(hex.error().message, "the startup entry name is not valid UTF-8 text");
  }
}

}  // namespace
}  // namespace tarnwick::client

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "elevate/response/encode_response.hpp"
#include "support/response_data_json.hpp"

namespace tarnwick {
namespace {

using test::data_result;

std::string encoded(const ActionResult& result) {
  auto bytes = encode_response(result);
  EXPECT_TRUE(bytes.ok());
  return bytes ? bytes.value() : std::string();
}

TEST(EncodeResponse, WritesTheEnvelopeStatusFirst) {
  struct Case {
    ActionResult result;
    std::string text;
  };
  const Case cases[] = {
      {data_result(nlohmann::json::array()), R"({"status":"ok","data":[]})"},
      {data_result({{"removed_bytes", std::uint64_t{0}}}), R"({"status":"ok","data":{"removed_bytes":0}})"},
      {data_result({{"removed_bytes", std::numeric_limits<std::uint64_t>::max()}}),
       R"({"status":"ok","data":{"removed_bytes":18446744073709551615}})"},
      // document objects come out in ascending byte order of their keys
      {data_result({{"name", "Tool"}, {"enabled", false}}),
       R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})"},
      {data_result({{"b", 1u}, {"a", nullptr}, {"ab", true}, {"B", "x"}}),
       R"({"status":"ok","data":{"B":"x","a":null,"ab":true,"b":1}})"},
      {data_result(nlohmann::json::object()), R"({"status":"ok","data":{}})"},
      {ActionResult::error("unknown HKLM startup entry: x"),
       R"({"status":"err","error":"unknown HKLM startup entry: x"})"},
      {ActionResult::error(""), R"({"status":"err","error":""})"},
  };
  for (const auto& c : cases) EXPECT_EQ(encoded(c.result), c.text);
}

TEST(EncodeResponse, EscapesExactlyTheBytesJsonRequires) {
  std::string message;
  std::string expected;
  for (int byte = 0; byte < 0x20; ++byte) message.push_back(static_cast<char>(byte));
  expected =
      "\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000b\\f\\r\\u000e\\u000f"
      "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001"
      "f";
  // quote and backslash escaped; slash, 0x7F and non-ASCII raw
  message +=
      "\"\\/\x7f"
      "caf\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80";
  expected +=
      "\\\"\\\\/\x7f"
      "caf\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80";
  EXPECT_EQ(encoded(ActionResult::error(message)), R"({"status":"err","error":")" + expected + "\"}");
  // keys of data objects follow the same rules
  EXPECT_EQ(encoded(data_result({{"a\"\t\x01", "\xc3\xa9"}})),
            "{\"status\":\"ok\",\"data\":{\"a\\\"\\t\\u0001\":\"\xc3\xa9\"}}");
}

TEST(EncodeResponse, InvalidUtf8FailsAndTheFallbackIsUsed) {
  for (const char* bad : {"\xff", "a\xc3", "\xed\xa0\x80", "\xc0\xaf"}) {
    const ActionResult as_error = ActionResult::error(bad);
    const ActionResult as_data = data_result({{"name", bad}});
    EXPECT_FALSE(encode_response(as_error).ok());
    EXPECT_FALSE(encode_response(as_data).ok());
    EXPECT_EQ(response_bytes(as_error), R"({"status":"err","error":"serialize"})");
    EXPECT_EQ(response_bytes(as_data), R"({"status":"err","error":"serialize"})");
  }
  EXPECT_EQ(kFallbackResponse.size(), 36u);
}

// nlohmann would write these numbers as null, which reads back as another
// value; the fallback says plainly that the data could not be written.
TEST(EncodeResponse, NonFiniteNumbersFailAndTheFallbackIsUsed) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const nlohmann::json cases[] = {
      kNaN,
      {{"removed_bytes", kInfinity}},
      nlohmann::json::array({-kInfinity}),
      // found by the response encoder's fuzz target: a NaN in a nested array
      nlohmann::json::array({std::int64_t{0x61206bffb904fb3f},
                             std::string("\x01\x00\x00"
                                         "0\x03",
                                         5),
                             nlohmann::json::array({kNaN})}),
  };
  for (const auto& data : cases) {
    EXPECT_FALSE(encode_response(data_result(data)).ok()) << data.dump();
    EXPECT_EQ(response_bytes(data_result(data)), kFallbackResponse) << data.dump();
  }
  // finite numbers of every kind are written as they are
  EXPECT_EQ(encoded(data_result(nlohmann::json::array({0.5, -1e300, std::int64_t{-3}}))),
            R"({"status":"ok","data":[0.5,-1e+300,-3]})");
}

}  // namespace
}  // namespace tarnwick

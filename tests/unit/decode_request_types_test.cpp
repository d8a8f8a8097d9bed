// Type refusals: how the value found is described, and what each place
// expects.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "elevate/request/json/number_value.hpp"
#include "support/decode_outcome.hpp"

namespace tarnwick {
namespace {

using test::decode_outcome;
using test::json_refusal;

struct Described {
  std::string value;        // a whole document of one scalar
  std::string description;  // how the refusal names it
};

// A scalar document is refused against the request record; it is consumed
// whole, so the refusal points at its last byte.
void expect_description(const Described& c) {
  EXPECT_EQ(decode_outcome(c.value),
            json_refusal("invalid type: " + c.description + ", expected struct HelperRequest at line 1 column " +
                         std::to_string(c.value.size())))
      << c.value;
}

TEST(DecodeRequestTypes, NullBooleansAndIntegersAtTheLimitsOfTheirTypes) {
  const Described cases[] = {
      {"null", "null"},
      {"true", "boolean `true`"},
      {"false", "boolean `false`"},
      {"0", "integer `0`"},
      {"7", "integer `7`"},
      {"-1", "integer `-1`"},
      {"18446744073709551615", "integer `18446744073709551615`"},          // largest unsigned
      {"18446744073709551616", "floating point `1.8446744073709552e19`"},  // one more: a double
      {"-9223372036854775808", "integer `-9223372036854775808`"},          // smallest signed
      {"-9223372036854775809", "floating point `-9.223372036854776e18`"},  // one less: a double
      {"-18446744073709551615", "floating point `-1.8446744073709552e19`"},
      {"9007199254740993", "integer `9007199254740993`"},  // exact, not rounded
      {"-0", "floating point `-0.0`"},                     // minus zero is no integer
  };
  for (const auto& c : cases) expect_description(c);
}

TEST(DecodeRequestTypes, FloatsInTheShortestFormThatReadsBack) {
  const Described cases[] = {
      {"0.0", "floating point `0.0`"},
      {"-0.0", "floating point `-0.0`"},
      {"0e5", "floating point `0.0`"},
      {"1e3", "floating point `1000.0`"},
      {"1000.0", "floating point `1000.0`"},
      {"12.5", "floating point `12.5`"},
      {"125E-1", "floating point `12.5`"},
      {"0.1", "floating point `0.1`"},
      {"0.30000000000000004", "floating point `0.30000000000000004`"},
      {"0.001", "floating point `0.001`"},
      {"0.00001", "floating point `0.00001`"},
      {"0.000001", "floating point `1e-6`"},
      {"1.5e-7", "floating point `1.5e-7`"},
      {"-1.5E-7", "floating point `-1.5e-7`"},
      {"1e15", "floating point `1000000000000000.0`"},
      {"1e16", "floating point `1e16`"},
      {"1.5e16", "floating point `1.5e16`"},
      {"1234567890123456.7", "floating point `1234567890123456.8`"},
      {"1e20", "floating point `1e20`"},
      {"100000000000000000000", "floating point `1e20`"},
      {"9007199254740993.0", "floating point `9007199254740992.0`"},
      {"1.7976931348623157e308", "floating point `1.7976931348623157e308`"},
      {"4.9e-324", "floating point `5e-324`"},
      {"2e-324", "floating point `0.0`"},  // below the smallest subnormal: zero, no refusal
      {"-1e-400", "floating point `-0.0`"},
      {"0." + std::string(400, '0') + "1", "floating point `0.0`"},
  };
  for (const auto& c : cases) expect_description(c);
}

TEST(DecodeRequestTypes, StringsWithEveryEscapeOfTheDescription) {
  const Described cases[] = {
      {R"("plain")", R"(string "plain")"},
      {R"("")", R"(string "")"},
      {R"("a\"b")", R"(string "a\"b")"},
      {R"("back\\slash")", R"(string "back\\slash")"},
      {R"("\t\r\n")", R"(string "\t\r\n")"},
      {R"("\u0000")", R"(string "\0")"},
      {R"("\b\f\u0001\u001F\u007f")", R"(string "\u{8}\u{c}\u{1}\u{1f}\u{7f}")"},
      // Other characters that do not print: C1 controls, separators and
      // spaces other than U+0020, format characters, private use,
      // unassigned and noncharacters.
      {R"("\u0085\u00a0\u00ad\u2028\u2029\u3000\u200b\ufeff")",
       R"(string "\u{85}\u{a0}\u{ad}\u{2028}\u{2029}\u{3000}\u{200b}\u{feff}")"},
      {R"("\ue000\uffff\u0378\udb40\udc01")", R"(string "\u{e000}\u{ffff}\u{378}\u{e0001}")"},
      // What prints stays as it is: space, quote, slash, letters beyond ASCII.
      {R"(" '/\/ \u00e9\u20ac\ud83d\ude00 ")", "string \" '// \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 \""},
      {"\"raw \xc3\xa9 and \xc2\xa0\"", R"(string "raw )"
                                        "\xc3\xa9"
                                        R"( and \u{a0}")"},
  };
  for (const auto& c : cases) expect_description(c);
}

// Any finite double, random bit patterns and values spread over the plain
// and exponent ranges alike, is written so that it reads back exactly.
TEST(DecodeRequestTypes, FloatTextReadsBackAsTheSameDouble) {
  std::mt19937_64 random(0x7a2f1c);
  std::uniform_real_distribution<double> decades(-8.0, 18.0);
  for (int i = 0; i < 200000; ++i) {
    double value = 0;
    if (i % 2 == 0) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      if (!std::isfinite(value)) continue;
    } else {
      value = std::pow(10.0, decades(random)) * (i % 4 == 1 ? 1 : -1);
    }
    const std::string text = json::float_text(value);
    double back = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_TRUE(ec == std::errc{} && end == text.data() + text.size()) << text;
    ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    // Always recognisably a floating point value.
    ASSERT_NE(text.find_first_of(".e"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace tarnwick

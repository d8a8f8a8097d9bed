// The two layers below the JSON reader: hexadecimal pairs and UTF-8.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "elevate/request/hex_payload.hpp"
#include "elevate/request/json/utf8_check.hpp"
#include "support/decode_outcome.hpp"

namespace tarnwick {
namespace {

using test::decode_outcome_of_text;
using test::hex_of;

constexpr char kPlainClean[] = R"({"action":{"action":"clean-system"}})";
constexpr char kOddLength[] = "bad request payload: odd hex length";
constexpr char kBadDigit[] = "bad request payload: invalid digit found in string";

TEST(DecodeRequestHex, PairsOfDigitsOrPlusAndDigitGiveOneByteEach) {
  struct Case {
    std::string text;
    std::string payload;
  };
  const Case cases[] = {
      {"", ""},
      {"00ff7F80", std::string("\x00\xff\x7f\x80", 4)},
      {"aBcD", "\xab\xcd"},
      {"+0+9+a+F", std::string("\x00\x09\x0a\x0f", 4)},
      {"7b+d", "{\x0d"},
  };
  for (const auto& c : cases) {
    const auto payload = payload_from_hex(c.text);
    ASSERT_TRUE(payload.ok()) << c.text;
    EXPECT_EQ(payload.value(), c.payload) << c.text;
  }
}

TEST(DecodeRequestHex, RefusesOddLengthFirstAndAnyOtherPairWithoutSayingWhich) {
  const std::string valid = hex_of(kPlainClean);
  struct Case {
    std::string text;
    const char* refusal;
  };
  const Case cases[] = {
      {"7", kOddLength},
      {valid + "7", kOddLength},
      {"zz" + valid + "7", kOddLength},  // the length is looked at before any digit
      {"\xc3\xa9"
       "7",
       kOddLength},  // bytes are counted, not characters
      {"0x7b7d", kBadDigit},
      {"7b 7d ", kBadDigit},
      {" 7b7d ", kBadDigit},
      {"-1", kBadDigit},
      {"a+", kBadDigit},
      {"++", kBadDigit},
      {"+g", kBadDigit},
      {"g0", kBadDigit},
      {valid + "7g", kBadDigit},
      {"\xc3\xa9", kBadDigit},  // a character outside ASCII...
      {"7\xc3\xa9"
       "7",
       kBadDigit},  // ...whichever pairs its bytes fall into
      {"ff"
       "zz",
       kBadDigit},  // a bad pair beats a UTF-8 fault before it
  };
  for (const auto& c : cases) EXPECT_EQ(decode_outcome_of_text(c.text), c.refusal) << c.text;
}

TEST(DecodeRequestHex, EitherCaseAndThePlusFormReachTheJsonLayer) {
  const std::string valid = hex_of(kPlainClean);
  std::string upper = valid;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(decode_outcome_of_text(upper), "accepted clean-system");
  // "+a" is a line feed, a blank before the document.
  EXPECT_EQ(decode_outcome_of_text("+a" + valid), "accepted clean-system");
  EXPECT_EQ(decode_outcome_of_text("+A" + valid + "+9"), "accepted clean-system");
  EXPECT_EQ(decode_outcome_of_text("7B7D"), "bad request json: missing field `action` at line 1 column 2");
  EXPECT_EQ(decode_outcome_of_text(""), "bad request json: EOF while parsing a value at line 1 column 0");
}

TEST(DecodeRequestUtf8, NamesTheIndexAndMaximalSubpartOfTheFirstFault) {
  struct Case {
    std::string payload;
    std::string refusal;
  };
  const std::string invalid = "bad request payload: invalid utf-8 sequence of ";
  const std::string incomplete = "bad request payload: incomplete utf-8 byte sequence from index ";
  const Case cases[] = {
      {"\xff", invalid + "1 bytes from index 0"},
      {"\x80", invalid + "1 bytes from index 0"},
      {"\xc3", incomplete + "0"},
      {"\x7b\xc3\x28", invalid + "1 bytes from index 1"},
      {"\xe0\xa0\x41", invalid + "2 bytes from index 0"},
      {"\xf0\x90\x80\x41", invalid + "3 bytes from index 0"},
      {"\xf0\x90\x41", invalid + "2 bytes from index 0"},
      {"\xc0\x80", invalid + "1 bytes from index 0"},          // overlong
      {"\xc1\xbf", invalid + "1 bytes from index 0"},          // overlong
      {"\xe0\x80\x80", invalid + "1 bytes from index 0"},      // overlong three-byte form
      {"\xf0\x80\x80\x80", invalid + "1 bytes from index 0"},  // overlong four-byte form
      {"\xed\xa0\x80", invalid + "1 bytes from index 0"},      // surrogate U+D800
      {"\xf4\x90\x80\x80", invalid + "1 bytes from index 0"},  // past U+10FFFF
      {"\xf5\x80\x80\x80", invalid + "1 bytes from index 0"},
      {"\xe1\x80", incomplete + "0"},
      {"\xf0\x90\x80", incomplete + "0"},
      {"\xe0\x80", invalid + "1 bytes from index 0"},  // ends, but not on a valid beginning
      // The index counts the well-formed bytes before the fault, past the
      // eight-byte ASCII runs and multi-byte characters.
      {"{\"x\":\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 and more text\xff", invalid + "1 bytes from index 29"},
      {std::string(20, ' ') + "\xf4\x8f\xbf", incomplete + "20"},
  };
  for (const auto& c : cases) EXPECT_EQ(decode_outcome_of_text(hex_of(c.payload)), c.refusal) << hex_of(c.payload);
}

TEST(DecodeRequestUtf8, WellFormedTextPassesAndAByteOrderMarkReachesTheJsonLayer) {
  EXPECT_EQ(json::find_utf8_fault("\xed\x9f\xbf\xee\x80\x80\xf4\x8f\xbf\xbf\xc2\x80 plain ASCII text"), std::nullopt);
  EXPECT_EQ(decode_outcome_of_text(hex_of(std::string("\xef\xbb\xbf") + kPlainClean)),
            "bad request json: expected value at line 1 column 1");
}

}  // namespace
}  // namespace tarnwick

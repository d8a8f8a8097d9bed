// Refusals of the request's shape: types, missing and duplicate fields,
// unknown wire names, array lengths, arguments kept until the tag, nesting.

#include <gtest/gtest.h>

#include <string>

#include "support/decode_outcome.hpp"

namespace tarnwick {
namespace {

using test::decode_outcome;
using test::json_refusal;

using test::expect_refused;
using test::Refused;

// Every place that refuses a value by its type, with its expectation. A
// scalar is consumed whole; an array or object in the place of a name, an
// enabled flag, a tag's null or a variant identifier is not read at all;
// arguments of the wrong kind are entered and given up at once.
TEST(DecodeRequestShape, EachPlaceNamesWhatItExpects) {
  const Refused cases[] = {
      {"{\"action\":\"clean-system\"}",
       "invalid type: string \"clean-system\", expected adjacently tagged enum HelperAction at line 1 column 24"},
      {"{\"action\":null}", "invalid type: null, expected adjacently tagged enum HelperAction at line 1 column 14"},
      {"[1]", "invalid type: integer `1`, expected adjacently tagged enum HelperAction at line 1 column 2"},
      {"{\"action\":[1,null]}", "invalid type: integer `1`, expected variant identifier at line 1 column 12"},
      {"{\"action\":[ null]}", "invalid type: null, expected variant identifier at line 1 column 16"},
      {"{\"action\":[[\"clean-system\"],null]}",
       "invalid type: sequence, expected variant identifier at line 1 column 11"},
      {"{\"action\":[ {\"a\":1},null]}", "invalid type: map, expected variant identifier at line 1 column 12"},
      {"{\"action\":{\"action\":{\"clean-system\":1}}}",
       "invalid type: integer `1`, expected unit at line 1 column 37"},
      {"{\"action\":{\"action\":{\"clean-system\":\"x\"}}}",
       "invalid type: string \"x\", expected unit at line 1 column 39"},
      {"{\"action\":{\"action\":{\"clean-system\": []}}}", "invalid type: sequence, expected unit at line 1 column 37"},
      {"{\"action\":{\"action\":{\"clean-system\":{}}}}", "invalid type: map, expected unit at line 1 column 36"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":{}}}",
       "invalid type: map, expected unit variant HelperAction::CleanSystem at line 1 column 44"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":[ 1]}}",
       "invalid type: sequence, expected unit variant HelperAction::CleanSystem at line 1 column 44"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":[ ] }}",
       "invalid type: sequence, expected unit variant HelperAction::CleanSystem at line 1 column 45"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":false}}",
       "invalid type: boolean `false`, expected unit variant HelperAction::CleanSystem at line 1 column 47"},
      {"{\"action\":{\"action\":\"startup-hklm-list\",\"args\":0}}",
       "invalid type: integer `0`, expected unit variant HelperAction::StartupHklmList at line 1 column 48"},
      {"{\"action\":[\"startup-hklm-list\",\"x\"]}",
       "invalid type: string \"x\", expected unit variant HelperAction::StartupHklmList at line 1 column 34"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":[\"x\",true]}}",
       "invalid type: sequence, expected struct variant HelperAction::StartupHklmSet at line 1 column 47"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":[]}}",
       "invalid type: sequence, expected struct variant HelperAction::StartupHklmSet at line 1 column 48"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":null}}",
       "invalid type: null, expected struct variant HelperAction::StartupHklmSet at line 1 column 50"},
      {"{\"action\":[\"startup-hklm-set\",\"Tool\"]}",
       "invalid type: string \"Tool\", expected struct variant HelperAction::StartupHklmSet at line 1 column 36"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":true,\"enabled\":true}}}",
       "invalid type: boolean `true`, expected a string at line 1 column 58"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":-2,\"enabled\":true}}}",
       "invalid type: integer `-2`, expected a string at line 1 column 56"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":null}}}",
       "invalid type: null, expected a string at line 1 column 58"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\": [\"a\"]}}}",
       "invalid type: sequence, expected a string at line 1 column 55"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":{}}}}",
       "invalid type: map, expected a string at line 1 column 54"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"X\",\"enabled\":\"yes\"}}}",
       "invalid type: string \"yes\", expected a boolean at line 1 column 73"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"enabled\":1.5}}}",
       "invalid type: floating point `1.5`, expected a boolean at line 1 column 60"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"enabled\":null}}}",
       "invalid type: null, expected a boolean at line 1 column 61"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"enabled\":[true]}}}",
       "invalid type: sequence, expected a boolean at line 1 column 57"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// A missing field is found at "}", which is consumed first.
TEST(DecodeRequestShape, MissingFieldsPointPastTheClosingBrace) {
  const Refused cases[] = {
      {"{}", "missing field `action` at line 1 column 2"},
      {"{\"x\":1 }", "missing field `action` at line 1 column 8"},
      {"{\"action\":{}}", "missing field `action` at line 1 column 12"},
      {"{\"action\":{\"args\":null}}", "missing field `action` at line 1 column 23"},
      {"{\"action\":{\"x\":1,\"y\":[] }}", "missing field `action` at line 1 column 25"},
      {"{\"action\":{\"action\":\"startup-hklm-set\"}}", "missing field `args` at line 1 column 39"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"x\":1 \n}}", "missing field `args` at line 2 column 1"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"enabled\":true}}}",
       "missing field `name` at line 1 column 62"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{ }}}", "missing field `name` at line 1 column 49"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"Foo\"}}}",
       "missing field `enabled` at line 1 column 60"},
      {"{\"action\":{\"args\":{\"name\":\"X\"},\"action\":\"startup-hklm-set\"}}",
       "missing field `enabled` at line 1 column 59"},
      {"{\"action\":{\"args\":{},\"action\":{\"startup-hklm-set\":null} }}",
       "missing field `name` at line 1 column 57"},
      {"[[\"startup-hklm-set\",{\"name\":\"a\"}]]", "missing field `enabled` at line 1 column 33"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// A duplicate key is refused before its value is looked at.
TEST(DecodeRequestShape, DuplicateKeysPointAtTheKeyAndTheBlanksAfterIt) {
  const Refused cases[] = {
      {"{\"action\":{\"action\":\"clean-system\"},\"action\":1}", "duplicate field `action` at line 1 column 44"},
      {"{\"action\":{\"action\":\"clean-system\"},\"action\" :1}", "duplicate field `action` at line 1 column 45"},
      {"{\"action\":{\"action\":\"clean-system\"},\"action\"}", "duplicate field `action` at line 1 column 45"},
      {"{\"action\":{\"action\":\"clean-system\",\"action\":\"clean-system\"}}",
       "duplicate field `action` at line 1 column 43"},
      {"{\"action\":{\"action\":\"clean-system\",\"action\":tru}}", "duplicate field `action` at line 1 column 43"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":null,\"args\":null}}",
       "duplicate field `args` at line 1 column 53"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":null,\"action\":1}}",
       "duplicate field `action` at line 1 column 55"},
      {"{\"action\":{\"args\":null,\"args\":null}}", "duplicate field `args` at line 1 column 29"},
      {"{\"action\":{\"args\":null,\"action\":\"clean-system\",\"args\":1}}",
       "duplicate field `args` at line 1 column 53"},
      {"{\"action\":{\"args\":null,\"x\":0,\"action\":\"clean-system\",\"x\":1,\"action\":1}}",
       "duplicate field `action` at line 1 column 67"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"a\",\"name\":\"b\",\"enabled\":true}}}",
       "duplicate field `name` at line 1 column 64"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"enabled\":true,\"name\":\"a\",\"enabled\" :false}}}",
       "duplicate field `enabled` at line 1 column 83"},
      {"{\"action\":{\"args\":{\"name\":\"a\",\"name\":1},\"action\":\"startup-hklm-set\"}}",
       "duplicate field `name` at line 1 column 68"},
      {"{\"action\":{\"args\":{\"enabled\":true,\"enabled\":true},\"action\":\"startup-hklm-set\" }}",
       "duplicate field `enabled` at line 1 column 79"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// The wire name is compared after escapes are resolved, and an unknown one
// is quoted unchanged; the refusal points at its closing quote.
TEST(DecodeRequestShape, UnknownWireNamesAreQuotedAsDecoded) {
  const Refused cases[] = {
      {"{\"action\":{\"action\":\"bogus\"}}",
       "unknown variant `bogus`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 "
       "column 27"},
      {"{\"action\":{\"action\":\"Clean-System\"}}",
       "unknown variant `Clean-System`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at "
       "line 1 column 34"},
      {"{\"action\":{\"action\":{\"bogus\":null}}}",
       "unknown variant `bogus`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 "
       "column 28"},
      {"{\"action\":[\"bogus\",null]}",
       "unknown variant `bogus`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 "
       "column 18"},
      {"[[\"clean-system \",null]]",
       "unknown variant `clean-system `, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at "
       "line 1 column 17"},
      {"{\"action\":{\"action\":\"\"}}",
       "unknown variant ``, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 column "
       "22"},
      {"{\"action\":{\"action\":\"clean\\u002Dsystem2\"}}",
       "unknown variant `clean-system2`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at "
       "line 1 column 40"},
      {"{\"action\":{\"action\":\"a\\\"b\\u0001\\u00e9\"}}",
       "unknown variant `a\"b\x01\xc3\xa9`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at "
       "line 1 column 38"},
      {"{\"action\":{\"args\":{\"bad\":[1,2]},\"action\":\"bogus\"}}",
       "unknown variant `bogus`, expected one of `clean-system`, `startup-hklm-list`, `startup-hklm-set` at line 1 "
       "column 48"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// Request and action arrays that end too early.
TEST(DecodeRequestShape, ArraysOfTheWrongLength) {
  const Refused cases[] = {
      {"[]", "invalid length 0, expected struct HelperRequest with 1 element at line 1 column 2"},
      {"[ \n ]", "invalid length 0, expected struct HelperRequest with 1 element at line 2 column 2"},
      {"{\"action\":[]}", "invalid length 0, expected adjacently tagged enum HelperAction at line 1 column 12"},
      {"{\"action\":[\"clean-system\"]}",
       "invalid length 1, expected adjacently tagged enum HelperAction at line 1 column 26"},
      {"{\"action\":[\"clean-system\" ]}",
       "invalid length 1, expected adjacently tagged enum HelperAction at line 1 column 27"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// "args" before "action": syntax faults come while the value is read, with
// numbers converted; the rest once the tag is known, as a refusal of the
// action object right after its tag (and blanks, and "}" if it follows).
TEST(DecodeRequestShape, ArgumentsBeforeTheTagAreReadWholeThenInterpreted) {
  const Refused cases[] = {
      {"{\"action\":{\"args\":1,\"action\":\"clean-system\" , \"x\":1}}",
       "invalid type: integer `1`, expected unit variant HelperAction::CleanSystem at line 1 column 44"},
      {"{\"action\":{\"args\":1,\"action\":\"clean-system\"}}",
       "invalid type: integer `1`, expected unit variant HelperAction::CleanSystem at line 1 column 44"},
      {"{\"action\":{\"args\":1,\"action\":\"clean-system\",\"action\":2}}",
       "invalid type: integer `1`, expected unit variant HelperAction::CleanSystem at line 1 column 43"},
      {"{\"action\":{\"args\":-0.0,\"action\":\"startup-hklm-list\"}}",
       "invalid type: floating point `-0.0`, expected unit variant HelperAction::StartupHklmList at line 1 column 52"},
      {"{\"action\":{\"args\":[1,],\"action\":\"clean-system\"}}", "trailing comma at line 1 column 22"},
      {"{\"action\":{\"args\":{\"name\":\"a\",\"enabled\":true,\"x\":1e999},\"action\":\"startup-hklm-set\"}}",
       "number out of range at line 1 column 54"},
      {"{\"action\":{\"args\":{\"name\":[\"a\"]},\"action\":\"startup-hklm-set\"}}",
       "invalid type: sequence, expected a string at line 1 column 61"},
      {"{\"action\":{\"args\":{\"enabled\":1,\"name\":2},\"action\":\"startup-hklm-set\"}}",
       "invalid type: integer `1`, expected a boolean at line 1 column 69"},
      {"{\"action\":{\"args\":{\"enabled\":{\"x\":[]},\"name\":\"a\"},\"action\":\"startup-hklm-set\"}}",
       "invalid type: map, expected a boolean at line 1 column 78"},
      {"{\"action\":{\"args\":{\"name\":\"a\",\"enabled\":true},\"action\":\"clean-system\"}}",
       "invalid type: map, expected unit variant HelperAction::CleanSystem at line 1 column 70"},
      {"{\"action\":{\"args\":[],\"action\":\"startup-hklm-set\"}}",
       "invalid type: sequence, expected struct variant HelperAction::StartupHklmSet at line 1 column 49"},
      {"{\"action\":{\"args\":\"Tool\",\"action\":{\"startup-hklm-set\":null}\n}}",
       "invalid type: string \"Tool\", expected struct variant HelperAction::StartupHklmSet at line 2 column 1"},
      {"{\"action\":{\"args\":\"a\\tb\",\"action\":\"clean-system\"}}",
       "invalid type: string \"a\\tb\", expected unit variant HelperAction::CleanSystem at line 1 column 49"},
  };
  for (const auto& c : cases) expect_refused(c);
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Interpreted arrays and objects take one unit each of a budget of 128, the
// request and action levels included: 127 levels are read, the 128th opening
// bracket is refused just after itself.
TEST(DecodeRequestShape, NestingBudgetAllowsOneHundredTwentySevenLevels) {
  const std::string kept_list = R"({"action":{"args":)";
  const std::string kept_fields = R"({"action":{"args":{"name":"n","enabled":true,"x":)";
  const std::string set_tag = R"(},"action":"startup-hklm-set"}})";
  const Refused refused[] = {
      {kept_list + repeated("[", 125) + repeated("]", 125) + R"(,"action":"clean-system"}})",
       "invalid type: sequence, expected unit variant HelperAction::CleanSystem at line 1 column 293"},
      {kept_list + repeated("[", 126), "recursion limit exceeded at line 1 column 144"},
      {kept_list + repeated(R"({"a":)", 125) + "0" + repeated("}", 125) + R"(,"action":"clean-system"}})",
       "invalid type: map, expected unit variant HelperAction::CleanSystem at line 1 column " +
           std::to_string(18 + 125 * 6 + 1 + 24 + 1)},
      {kept_list + repeated(R"({"a":)", 126),
       "recursion limit exceeded at line 1 column " + std::to_string(18 + 125 * 5 + 1)},
      // Level 3 is the arguments' object; 124 arrays inside it make 127.
      {kept_fields + repeated("[", 125) + repeated("]", 125) + set_tag,
       "recursion limit exceeded at line 1 column " + std::to_string(kept_fields.size() + 125)},
  };
  for (const auto& c : refused) expect_refused(c);
  EXPECT_EQ(decode_outcome(kept_fields + repeated("[", 124) + repeated("]", 124) + set_tag),
            "accepted startup-hklm-set name=[n] enabled=true");
}

// Ignored values take no nesting budget and are skipped with a heap stack:
// a million levels cost no call stack (a recursive skip would overflow it).
TEST(DecodeRequestShape, IgnoredMembersNestedAMillionLevelsDeep) {
  constexpr std::size_t kDepth = 1'000'000;
  const std::string clean = R"(,"action":{"action":"clean-system"}})";
  EXPECT_EQ(decode_outcome(R"({"x":)" + repeated("[", kDepth) + repeated("]", kDepth) + clean),
            "accepted clean-system");
  EXPECT_EQ(decode_outcome(R"({"x":)" + repeated(R"({"a":)", kDepth) + "[]" + repeated("}", kDepth) + clean),
            "accepted clean-system");
  // Ignored members inside the arguments read after the tag are not budgeted either.
  EXPECT_EQ(decode_outcome(R"({"action":{"action":"startup-hklm-set","args":{"name":"n","enabled":false,"x":)" +
                           repeated("[", 1000) + repeated("]", 1000) + "}}}"),
            "accepted startup-hklm-set name=[n] enabled=false");
  const std::string unclosed = R"({"x":)" + repeated("[{\"a\":", kDepth);
  EXPECT_EQ(decode_outcome(unclosed),
            json_refusal("EOF while parsing a value at line 1 column " + std::to_string(unclosed.size())));
}

}  // namespace
}  // namespace tarnwick

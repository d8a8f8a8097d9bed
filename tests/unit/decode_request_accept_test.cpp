// Documents the decoder accepts, and the records they decode to.

#include <gtest/gtest.h>

#include <string>

#include "support/decode_outcome.hpp"

namespace tarnwick {
namespace {

using test::decode_outcome;

struct Accepted {
  std::string document;
  std::string outcome;
};

void expect_accepted(const Accepted& c) { EXPECT_EQ(decode_outcome(c.document), c.outcome) << c.document; }

constexpr char kClean[] = "accepted clean-system";
constexpr char kList[] = "accepted startup-hklm-list";
constexpr char kSetTool[] = "accepted startup-hklm-set name=[Tool] enabled=false";

TEST(DecodeRequestAccepts, EveryRequestFormActionFormAndTagForm) {
  const Accepted cases[] = {
      // The plain forms.
      {R"({"action":{"action":"clean-system"}})", kClean},
      {R"({"action":{"action":"startup-hklm-list"}})", kList},
      {R"({"action":{"action":"startup-hklm-set","args":{"name":"Tool","enabled":false}}})", kSetTool},
      // Arguments of unit actions may be null; fields in any order.
      {R"({"action":{"action":"startup-hklm-list","args":null}})", kList},
      {R"({"action":{"action":"clean-system","args":null}})", kClean},
      {R"({"action":{"action":"startup-hklm-set","args":{"enabled":true,"name":"Tool"}}})",
       "accepted startup-hklm-set name=[Tool] enabled=true"},
      // "args" before "action".
      {R"({"action":{"args":{"enabled":false,"name":"Tool"},"action":"startup-hklm-set"}})", kSetTool},
      {R"({"action":{"args":null,"action":"startup-hklm-list"}})", kList},
      // The array forms of request and action.
      {R"([["startup-hklm-set",{"name":"Tool","enabled":false}]])", kSetTool},
      {R"({"action":["clean-system",null]})", kClean},
      {R"([{"action":"startup-hklm-list"}])", kList},
      // The object form of the tag, with either order of "args".
      {R"({"action":{"action":{"clean-system":null}}})", kClean},
      {R"({"action":{"action":{ "startup-hklm-set" : null },"args":{"name":"Tool","enabled":false}}})", kSetTool},
      {R"({"action":{"args":{"name":"Tool","enabled":false},"action":{"startup-hklm-set":null}}})", kSetTool},
  };
  for (const auto& c : cases) expect_accepted(c);
}

TEST(DecodeRequestAccepts, OtherMembersAtEveryLevelWhateverTheyHoldAndWhereverTheyStand) {
  const Accepted cases[] = {
      {R"({"note":[1,2],"action":{"action":"clean-system","id":7}})", kClean},
      {R"({"z":{"a":[{"b":null},[],{}]},"action":{"x":[true,false,null,-1.5e3,"s\u00e9\ud83d\ude00"],)"
       R"("action":"startup-hklm-set","y":{},"args":{"q":[[]],"enabled":false,"name":"Tool","r":{"s":0}}},"w":0})",
       kSetTool},
      {R"({"action":{"action":"clean-system","args":null,"later":{"deep":[[[1]]]}},"last":"x"})", kClean},
      // An ignored value is checked for syntax only: its numbers are not
      // converted, so a magnitude no double holds is fine there.
      {R"({"big":1e999999,"action":{"action":"clean-system","huge":-123456789012345678901234567890e400}})", kClean},
      {R"({"action":{"action":"startup-hklm-set","args":{"x":1e400,"name":"Tool","enabled":false}}})", kSetTool},
      // Keys that only resemble the known ones are other members.
      {R"({"Action":1,"action ":2,"action":{"ARGS":3,"action":"clean-system","arg":4}})", kClean},
  };
  for (const auto& c : cases) expect_accepted(c);
}

TEST(DecodeRequestAccepts, BlanksBeforeAndAfterEveryToken) {
  const Accepted cases[] = {
      {" \t\r\n{ \"action\" :\n\t{ \"action\" : \"startup-hklm-list\" , \"args\" : null }\r\n} \n\t", kList},
      {"[ [ \"startup-hklm-set\" , { \"name\" : \"Tool\" , \"enabled\" : false } ] ]\n", kSetTool},
      {"{\"action\":{\"action\":{\r\n\"clean-system\"\t:\tnull\r\n}}}", kClean},
  };
  for (const auto& c : cases) expect_accepted(c);
}

TEST(DecodeRequestAccepts, KeysAndNamesAreComparedAndKeptAfterEscapesAreResolved) {
  const Accepted cases[] = {
      {R"({"\u0061ction":{"act\u0069on":"clean\u002dsystem"}})", kClean},
      {R"({"action":{"action":{"startup\u002Dhklm\u002Dlist":null}}})", kList},
      // The name exactly as decoded: every escape, U+0000, raw UTF-8 and
      // DEL, blanks at the ends, no case change.
      {R"({"action":{"action":"startup-hklm-set","args":{"name":"a\"b\\c\/d\b\f\n\r\t\u0000\u00e9\uD83D\uDE00","enabled":true}}})",
       std::string("accepted startup-hklm-set name=[a\"b\\c/d\b\f\n\r\t") + '\0' +
           "\xc3\xa9\xf0\x9f\x98\x80] enabled=true"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\" \xe2\x82\xac\x7f Tool "
       "\",\"enabled\":true}}}",
       "accepted startup-hklm-set name=[ \xe2\x82\xac\x7f Tool ] enabled=true"},
      {R"({"action":{"action":"startup-hklm-set","args":{"name":"","enabled":true}}})",
       "accepted startup-hklm-set name=[] enabled=true"},
  };
  for (const auto& c : cases) expect_accepted(c);
}

}  // namespace
}  // namespace tarnwick

// Syntax refusals of the JSON layer: every message, in interpreted and in
// ignored values alike, with the position it points at.

#include <gtest/gtest.h>

#include <string>

#include "support/decode_outcome.hpp"

namespace tarnwick {
namespace {

using test::decode_outcome;
using test::json_refusal;

using test::expect_refused;
using test::Refused;

// A syntax refusal points just after the offending byte, or at the end of
// the text when it ended early.
TEST(DecodeRequestSyntax, EveryMessageAtTheOffendingByteOrTheEnd) {
  const Refused cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"{\"action\":", "EOF while parsing a value at line 1 column 10"},
      {"{\"x\":[1,", "EOF while parsing a value at line 1 column 8"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":nul", "EOF while parsing a value at line 1 column 45"},
      {"{\"x\":-", "EOF while parsing a value at line 1 column 6"},
      {"{\"x\":1.", "EOF while parsing a value at line 1 column 7"},
      {"{\"x\":1e+", "EOF while parsing a value at line 1 column 8"},
      {"{\"action\":{\"action\":\"clean-system\"},", "EOF while parsing a value at line 1 column 36"},
      {"{\"action\":[\"clean-system\",", "EOF while parsing a value at line 1 column 26"},
      {"{\"action\":{\"args\":[tr", "EOF while parsing a value at line 1 column 21"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"{\"x\":[1", "EOF while parsing a list at line 1 column 7"},
      {"{\"action\":[\"clean-system\"", "EOF while parsing a list at line 1 column 25"},
      {"[[\"clean-system\",null]", "EOF while parsing a list at line 1 column 22"},
      {"{\"x\":[[]", "EOF while parsing a list at line 1 column 8"},
      {"{\"action\":{\"args\":[1", "EOF while parsing a list at line 1 column 20"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"action\"", "EOF while parsing an object at line 1 column 9"},
      {"{\"x\":1", "EOF while parsing an object at line 1 column 6"},
      {"{\"x\":{\"a\"", "EOF while parsing an object at line 1 column 9"},
      {"{\"action\":{\"action\":{", "EOF while parsing an object at line 1 column 21"},
      {"{\"action\":{\"action\":{\"clean-system\":null", "EOF while parsing an object at line 1 column 40"},
      {"{\"action\":{\"action\":{\"clean-system\"", "EOF while parsing an object at line 1 column 35"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"a\"",
       "EOF while parsing an object at line 1 column 57"},
      {"{\"act", "EOF while parsing a string at line 1 column 5"},
      {"{\"x\":\"\\", "EOF while parsing a string at line 1 column 7"},
      {"{\"x\":\"\\u12", "EOF while parsing a string at line 1 column 10"},
      {"{\"x\":\"\\ud800", "EOF while parsing a string at line 1 column 12"},
      {"{\"x\":\"\\ud800\\", "EOF while parsing a string at line 1 column 13"},
      {"{\"x\":\"\\ud800\\u", "EOF while parsing a string at line 1 column 14"},
      {"{\"action\":{\"action\":\"clean-sys", "EOF while parsing a string at line 1 column 30"},
      {"{\"action\" 1}", "expected `:` at line 1 column 11"},
      {"{\"x\":{\"a\" 1}}", "expected `:` at line 1 column 11"},
      {"{\"action\":{\"action\":{\"clean-system\" null}}}", "expected `:` at line 1 column 37"},
      {"{\"x\":[1 2]}", "expected `,` or `]` at line 1 column 9"},
      {"{\"action\":[\"clean-system\" null]}", "expected `,` or `]` at line 1 column 27"},
      {"{\"action\":{\"action\":\"clean-system\"} \"x\":1}", "expected `,` or `}` at line 1 column 37"},
      {"{\"x\":{\"a\":1 \"b\":2}}", "expected `,` or `}` at line 1 column 13"},
      {"{\"x\":tru,\"action\":{\"action\":\"clean-system\"}}", "expected ident at line 1 column 9"},
      {"{\"x\":nul}", "expected ident at line 1 column 9"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":nulL}}", "expected ident at line 1 column 46"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"a\",\"enabled\":fals}}}",
       "expected ident at line 1 column 73"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"a\",\"enabled\":trUe}}}",
       "expected ident at line 1 column 71"},
      {"\xef"
       "\xbb"
       "\xbf"
       "{\"action\":{\"action\":\"clean-system\"}}",
       "expected value at line 1 column 1"},
      {"{\"action\":{\"action\":5}}", "expected value at line 1 column 21"},
      {"{\"x\":]}", "expected value at line 1 column 6"},
      {"{\"x\":[,1]}", "expected value at line 1 column 7"},
      {"{\"x\":'a'}", "expected value at line 1 column 6"},
      {"{\"x\":+1}", "expected value at line 1 column 6"},
      {"{\"x\":.5}", "expected value at line 1 column 6"},
      {"{\"x\":[1,}]}", "expected value at line 1 column 9"},
      {"{\"action\":[x]}", "expected value at line 1 column 12"},
      {"[,]", "expected value at line 1 column 2"},
      {"}", "expected value at line 1 column 1"},
      {"{\"action\":{\"action\":{}}}", "expected value at line 1 column 22"},
      {"{\"action\":{\"action\":{\"clean-system\":null,\"x\":1}}}", "expected value at line 1 column 40"},
      {"{\"action\":{\"action\":null}}", "expected value at line 1 column 21"},
      {"{\"action\":{\"action\":[]}}", "expected value at line 1 column 21"},
      {"{\"action\":{\"action\":true}}", "expected value at line 1 column 21"},
      {"{\"action\":{\"action\":-1}}", "expected value at line 1 column 21"},
      {"{\"x\":\"\\x\"}", "invalid escape at line 1 column 8"},
      {"{\"x\":\"\\u12G4\"}", "invalid escape at line 1 column 12"},
      {"{\"x\":\"\\uG\"}", "EOF while parsing a string at line 1 column 11"},
      {"{\"x\":\"\\uG\"},\"action\":1}", "invalid escape at line 1 column 12"},
      {"{\"x\":\"\\ud800\\u12G4\"}", "invalid escape at line 1 column 18"},
      {"{\"x\":\"\\U0041\"}", "invalid escape at line 1 column 8"},
      {"{\"x\":01}", "invalid number at line 1 column 7"},
      {"{\"x\":-a}", "invalid number at line 1 column 7"},
      {"{\"x\":-}", "invalid number at line 1 column 7"},
      {"{\"x\":1.e3}", "invalid number at line 1 column 8"},
      {"{\"x\":1ex}", "invalid number at line 1 column 8"},
      {"{\"x\":1e+-1}", "invalid number at line 1 column 9"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":00}}", "invalid number at line 1 column 44"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":-01.5}}", "invalid number at line 1 column 45"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":1e309}}", "number out of range at line 1 column 47"},
      {"-1e309", "number out of range at line 1 column 6"},
      {"100000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "00000000000000000000000000000000000000000000000000000000000000000000",
       "number out of range at line 1 column 401"},
      {"{\"action\":{\"args\":[1,-2.5e400,3],\"action\":\"clean-system\"}}", "number out of range at line 1 column 29"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":17e999,\"enabled\":true}}}",
       "number out of range at line 1 column 60"},
      {"{\"x\":\"a\tb\"}", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 8"},
      {"{\"ac\ntion\":1}", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {std::string("{\"x\":\"\x00"
                   "\"}",
                   9),
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 7"},
      {"{\"action\":{\"action\":\"clean-system\",\"args\":\"\x1f"
       "\"}}",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 44"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{\"x\":{,}}", "key must be a string at line 1 column 7"},
      {"{\"x\":1,2:3}", "key must be a string at line 1 column 8"},
      {"{\"action\":{\"action\":{1:null}}}", "key must be a string at line 1 column 22"},
      {"{'action':1}", "key must be a string at line 1 column 2"},
      {"{\"x\":\"\\udc00\"}", "lone leading surrogate in hex escape at line 1 column 12"},
      {"{\"x\":\"\\ud800\\u0041\"}", "lone leading surrogate in hex escape at line 1 column 18"},
      {"{\"x\":\"\\ud800\\ud800\"}", "lone leading surrogate in hex escape at line 1 column 18"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"\\uDFFF\",\"enabled\":true}}}",
       "lone leading surrogate in hex escape at line 1 column 61"},
      {"{\"x\":\"\\ud800x\"}", "unexpected end of hex escape at line 1 column 12"},
      {"{\"x\":\"\\ud800\"}", "unexpected end of hex escape at line 1 column 12"},
      {"{\"x\":\"\\ud800\\n\"}", "unexpected end of hex escape at line 1 column 12"},
      {"{\"x\":[1,]}", "trailing comma at line 1 column 9"},
      {"{\"x\":{\"a\":1,}}", "trailing comma at line 1 column 13"},
      {"{\"x\":[1, \n ]}", "trailing comma at line 2 column 2"},
      {"{\"action\":{\"action\":\"clean-system\",}}", "trailing comma at line 1 column 36"},
      {"{\"action\":{\"action\":\"clean-system\"},}", "trailing comma at line 1 column 37"},
      {"[[\"clean-system\",null],]", "trailing comma at line 1 column 24"},
      {"{\"action\":[\"clean-system\",]}", "trailing comma at line 1 column 27"},
      {"{\"action\":[\"clean-system\",null,]}", "trailing comma at line 1 column 32"},
      {"{\"action\":{\"action\":\"startup-hklm-set\",\"args\":{\"name\":\"a\",\"enabled\":true,}}}",
       "trailing comma at line 1 column 74"},
      {"{\"action\":{\"action\":\"clean-system\"}} x", "trailing characters at line 1 column 38"},
      {"{\"action\":{\"action\":\"clean-system\"}}{}", "trailing characters at line 1 column 37"},
      {"[[\"clean-system\",null],1]", "trailing characters at line 1 column 24"},
      {"[[\"clean-system\",null] 1]", "trailing characters at line 1 column 24"},
      {"[[\"clean-system\",null],", "trailing characters at line 1 column 23"},
      {"[[\"clean-system\",null], ", "trailing characters at line 1 column 24"},
      {"{\"action\":[\"clean-system\",null,null]}", "trailing characters at line 1 column 32"},
      {"{\"action\":[\"clean-system\",null}", "trailing characters at line 1 column 31"},
  };
  for (const auto& c : cases) expect_refused(c);
}

// Lines are counted by line feeds only; columns count bytes, so a carriage
// return, a tab or a multi-byte character each widen the column by their
// bytes, and the position right after a line feed is column 0.
TEST(DecodeRequestSyntax, LineAndColumnInMultiLineDocuments) {
  const Refused cases[] = {
      {"{\n\"action\": {}\n}", "missing field `action` at line 2 column 12"},
      {"{\r\n  \"action\" :\r\n\t{ }\r\n}", "missing field `action` at line 3 column 4"},
      {"{\"action\":\n", "EOF while parsing a value at line 2 column 0"},
      {"\n\n\n", "EOF while parsing a value at line 4 column 0"},
      {"{\"\xc3\xa9\xe2\x82\xac\":1,\n\"\xf0\x9f\x98\x80\":2,\"action\":5}",
       "invalid type: integer `5`, expected adjacently tagged enum HelperAction at line 2 column 19"},
      {"{\"action\":{\"action\":\"clean-system\"}}\r\n\r\n \t x", "trailing characters at line 3 column 4"},
      {"\r\r\r{", "EOF while parsing an object at line 1 column 4"},
  };
  for (const auto& c : cases) expect_refused(c);
}

}  // namespace
}  // namespace tarnwick

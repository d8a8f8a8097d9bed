// The strict reading of the helper's exit status and response file: the
// answers the helper really writes are used, everything else is refused with
// what was wrong.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "client/response_check.hpp"
#include "elevate/dispatch/action_data.hpp"
#include "elevate/response/encode_response.hpp"
#include "support/response_data_json.hpp"

namespace tarnwick::client {
namespace {

using namespace std::string_literals;

struct Hostile {
  std::uint32_t exit_status;
  std::string response;
  std::string what;  // the NoUsableResponse message
};

template <class T>
void expect_unusable(const Outcome<T>& outcome, const Hostile& c) {
  ASSERT_FALSE(outcome.ok()) << c.response;
  EXPECT_EQ(outcome.error().kind, ErrorKind::NoUsableResponse) << c.response;
  EXPECT_EQ(outcome.error().message, c.what) << c.response;
  EXPECT_EQ(outcome.error().exit_status, c.exit_status) << c.response;
}

TEST(ClientResponse, ReadsTheListingTheHelperWrites) {
  const std::vector<tarnwick::StartupEntry> written = {
      {"Alpha", "%ProgramFiles%\\a.exe", StartupScope::HklmRun, true},
      {"", "default value", StartupScope::HklmRun, false},
      {"say \"hi\"\t\x01 caf\xc3\xa9", "C:\\x.exe \"arg\"", StartupScope::HklmRun, true},
      {"nul\0name"s, "\0"s, StartupScope::HklmRun, false},
  };
  const HelperExit exit{0, response_bytes(ActionResult::data(startup_list_data(written)))};
  const auto entries = read_list_response(exit);
  ASSERT_TRUE(entries.ok()) << entries.error().message;
  ASSERT_EQ(entries.value().size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(entries.value()[i], (StartupEntry{written[i].name, written[i].command, written[i].enabled}));
  }
  const auto empty = read_list_response({0, R"({"status":"ok","data":[]})"});
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().empty());
}

TEST(ClientResponse, ReadsTheSetEchoAndTheBytesRemoved) {
  EXPECT_TRUE(read_set_response({0, R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})"},
                                SetStartupEnabled{"Tool", false})
                  .ok());
  EXPECT_TRUE(read_set_response({0, R"({"status":"ok","data":{"enabled":true,"name":"a\"b\u0000"}})"},
                                SetStartupEnabled{"a\"b\0"s, true})
                  .ok());
  for (const std::uint64_t n : {std::uint64_t{0}, std::uint64_t{1123}, std::numeric_limits<std::uint64_t>::max()}) {
    const auto removed = read_clean_response({0, response_bytes(test::data_result({{"removed_bytes", n}}))});
    ASSERT_TRUE(removed.ok()) << removed.error().message;
    EXPECT_EQ(removed.value(), n);
  }
}

TEST(ClientResponse, HelperMessagesAreRefusalsOrFailuresByTheirText) {
  struct Case {
    std::string message;
    ErrorKind kind;
  };
  const Case cases[] = {
      {"bad request payload: odd hex length", ErrorKind::Refused},
      {"bad request json: missing field `action` at line 1 column 12", ErrorKind::Refused},
      {"unknown HKLM startup entry: tool", ErrorKind::NotFound},
      {"Access is denied. (os error 5)", ErrorKind::ActionFailed},
      {"bad request", ErrorKind::ActionFailed},
      {"", ErrorKind::ActionFailed},
      {"quote \" backslash \\ tab \t \x01 caf\xc3\xa9", ErrorKind::ActionFailed},
  };
  for (const auto& c : cases) {
    const HelperExit exit{1, response_bytes(ActionResult::error(c.message))};
    // The envelope is the same for every action.
    const Outcome<std::vector<StartupEntry>> listed = read_list_response(exit);
    const Outcome<Done> set = read_set_response(exit, SetStartupEnabled{"Tool", true});
    const Outcome<std::uint64_t> cleaned = read_clean_response(exit);
    for (const ClientError* error : {&listed.error(), &set.error(), &cleaned.error()}) {
      EXPECT_EQ(*error, (ClientError{c.kind, c.message, 1u, 0})) << c.message;
    }
  }
}

TEST(ClientResponse, StatusOneHundredOneIsAnInternalErrorWhateverTheFile) {
  for (const std::string& text : {""s, R"({"status":"ok","data":[]})"s}) {
    const auto listed = read_list_response({101, text});
    ASSERT_FALSE(listed.ok());
    EXPECT_EQ(listed.error(), (ClientError{ErrorKind::InternalError, "", 101u, 0}));
  }
}

TEST(ClientResponse, EnvelopesThatAreNotTheHelpersAnswerAreUnusable) {
  const Hostile cases[] = {
      // exit status
      {2, "", "the helper did not accept its command line"},
      {3, R"({"status":"ok","data":[]})", "the exit status is not one the helper ends with"},
      {259, "", "the exit status is not one the helper ends with"},
      {0xC0000005, "", "the exit status is not one the helper ends with"},
      {1, R"({"status":"ok","data":[]})", R"(the response says "ok" but the exit status is 1)"},
      {0, R"({"status":"err","error":"x"})", R"(the response says "err" but the exit status is 0)"},
      // the helper's fallback after a success it could not encode
      {0, R"({"status":"err","error":"serialize"})",
       R"(the action succeeded but the helper could not encode its answer ("serialize"))"},
      // nothing, or not all of it
      {0, "", "the response file is empty"},
      {1, "", "the response file is empty"},
      {0, R"({"status":"ok","data":[)", "the response ends early (incomplete JSON)"},
      {0, R"({"status":"ok","data":[])", "the response ends early (incomplete JSON)"},
      {1, R"({"status":"err","error":"Access is den)", "the response ends early (incomplete JSON)"},
      {0, R"({"status":"ok","data":[]}x)", "the response is not well-formed JSON (stopped at byte 26)"},
      {0, R"({"status":'ok'})", "the response is not well-formed JSON (stopped at byte 11)"},
      // not UTF-8
      {1, "{\"status\":\"err\",\"error\":\"\xff\"}", "the response is not valid UTF-8"},
      {1, "{\"status\":\"err\",\"error\":\"\xed\xa0\x80\"}", "the response is not valid UTF-8"},
      // the envelope's members
      {0, R"([])", "the response is not a JSON object"},
      {0, R"("ok")", "the response is not a JSON object"},
      {0, R"({"data":[]})", R"(the response has no "status")"},
      {0, R"({"status":true,"data":[]})", R"("status" is not a string)"},
      {0, R"({"status":"OK","data":[]})", R"("status" is "OK", neither "ok" nor "err")"},
      {0, R"({"status":"ok"})", R"(an "ok" response has no "data")"},
      {0, R"({"status":"ok","data":[],"error":"x"})", R"(the response has an extra member "error")"},
      {1, R"({"status":"err"})", R"(the response has no "error")"},
      {1, R"({"status":"err","error":5})", R"(the response: "error" is not a string)"},
      {1, R"({"status":"err","error":"x","data":[]})", R"(the response has an extra member "data")"},
      {1, R"({"status":"err","error":"x","a\n)" + std::string(100, 'k') + R"(":1})",
       R"(the response has an extra member "a\n)" + std::string(62, 'k') + R"(...")"},
      // the right members, but not the text the helper writes
      {0, R"( {"status":"ok","data":[]})", "the response is not in the helper's compact form"},
      {0,
       R"({"status":"ok","data":[]})"
       "\n",
       "the response is not in the helper's compact form"},
      {0, R"({"data":[],"status":"ok"})", "the response is not in the helper's compact form"},
      {0, R"({"status":"ok","data":[],"data":[]})", "the response is not in the helper's compact form"},
      {0,
       "\xef\xbb\xbf"
       R"({"status":"ok","data":[]})",
       "the response is not in the helper's compact form"},
      {1, R"({"status":"err","status":"err","error":"x"})", "the response is not in the helper's compact form"},
      {1, R"({"status":"err","error":"caf\u00e9"})", "the response is not in the helper's compact form"},
      {1, R"({"status":"err","error":"a\/b"})", "the response is not in the helper's compact form"},
  };
  for (const auto& c : cases) expect_unusable(read_list_response({c.exit_status, c.response}), c);
}

TEST(ClientResponse, ListingsOfTheWrongShapeAreUnusable) {
  const std::string entry = R"("command":"c","enabled":true,"name":"n")";
  const Hostile cases[] = {
      {0, R"({"status":"ok","data":{}})", R"("data" is not an array)"},
      {0, R"({"status":"ok","data":null})", R"("data" is not an array)"},
      {0, R"({"status":"ok","data":[1]})", "entry 0 is not an object"},
      {0, R"({"status":"ok","data":[{)" + entry + R"(,"scope":"hklm-run"},[]]})", "entry 1 is not an object"},
      {0, R"({"status":"ok","data":[{"enabled":true,"name":"n","scope":"hklm-run"}]})", R"(entry 0 has no "command")"},
      {0, R"({"status":"ok","data":[{"command":"c","enabled":"true","name":"n","scope":"hklm-run"}]})",
       R"(entry 0: "enabled" is not a boolean)"},
      {0, R"({"status":"ok","data":[{"command":"c","enabled":true,"name":1,"scope":"hklm-run"}]})",
       R"(entry 0: "name" is not a string)"},
      {0, R"({"status":"ok","data":[{"command":null,"enabled":true,"name":"n","scope":"hklm-run"}]})",
       R"(entry 0: "command" is not a string)"},
      {0, R"({"status":"ok","data":[{)" + entry + R"(,"scope":"hklm-run","x":1}]})",
       R"(entry 0 has an extra member "x")"},
      {0, R"({"status":"ok","data":[{)" + entry + R"(,"scope":"hkcu-run"}]})",
       R"(entry 0: "scope" is "hkcu-run", not "hklm-run")"},
      {0, R"({"status":"ok","data":[{)" + entry + R"(}]})", R"(entry 0 has no "scope")"},
      {0, R"({"status":"ok","data":[{"command":"c","name":"n","enabled":true,"scope":"hklm-run"}]})",
       "the response is not in the helper's compact form"},
      {0, R"({"status":"ok","data":[{"command":"c","enabled":true,"name":"\u0041","scope":"hklm-run"}]})",
       "the response is not in the helper's compact form"},
  };
  for (const auto& c : cases) expect_unusable(read_list_response({c.exit_status, c.response}), c);
}

TEST(ClientResponse, DeepNestingIsReadWithoutExhaustingTheStack) {
  constexpr std::size_t kDepth = 200000;
  const std::string nested = std::string(kDepth, '[') + std::string(kDepth, ']');
  const std::string too_deep = "the response nests deeper than the helper's answers (more than 3 levels)";
  expect_unusable(read_list_response({0, R"({"status":"ok","data":[)" + nested + "]}"}), {0, "", too_deep});
  expect_unusable(read_clean_response({0, R"({"status":"ok","data":{"removed_bytes":)" + nested + "}}"}),
                  {0, "", too_deep});
  // The helper's own depth, three levels, is read.
  expect_unusable(read_list_response({0, R"({"status":"ok","data":[[1]]})"}), {0, "", "entry 0 is not an object"});
  expect_unusable(read_list_response({0, R"({"status":"ok","data":[[[]]]})"}), {0, "", too_deep});
}

// A hostile file bounds what reading it costs the app: its size is capped,
// and a file that would parse into many times its size (many tiny values) is
// refused before it is parsed; the helper's largest listings are read.
TEST(ClientResponse, ReadingABigOrCostlyFileIsBoundedAndTheHelpersLargestListingsAreRead) {
  const std::string costly =
      "the response holds too many small values to be the helper's answer (reading it would take more than 16 "
      "bytes of memory per byte)";
  const auto repeated = [](std::string_view item, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out.append(i == 0 ? "" : ",").append(item);
    return out;
  };
  constexpr std::size_t kMany = 400'000;  // over a megabyte of text, far past the slack
  const Hostile cases[] = {
      {0, R"({"status":"ok","data":[)" + repeated("[]", kMany) + "]}", costly},
      {0, R"({"status":"ok","data":[)" + repeated("{}", kMany) + "]}", costly},
      {0, R"({"status":"ok","data":[)" + repeated(R"("")", kMany) + "]}", costly},
      {0, R"({"status":"ok","data":[)" + repeated("[0]", kMany) + "]}", costly},
      {0, R"({"status":"ok","data":[)" + repeated("0", kMany) + "]}", costly},
      {0, R"({"status":"ok","data":[)" + std::string(kMaxResponseBytes - 23, ' ') + "]}",
       "the response file is too large"},
      // Small files of any kind are read up to their shape check.
      {0, R"({"status":"ok","data":[)" + repeated("[]", 1000) + "]}", "entry 0 is not an object"},
  };
  for (const auto& c : cases) expect_unusable(read_list_response({c.exit_status, c.response}), c);

  // Many short entries, and the longest a name and a command can be, every
  // unit escaped, as the helper writes them: both within the limits.
  const std::vector<tarnwick::StartupEntry> many(100'000, {"", "", StartupScope::HklmRun, true});
  const std::vector<tarnwick::StartupEntry> longest(
      56, {std::string(16'383, '\x01'), std::string(32'767, '\x01'), StartupScope::HklmRun, false});
  for (const auto* written : {&many, &longest}) {
    const HelperExit exit{0, response_bytes(ActionResult::data(startup_list_data(*written)))};
    ASSERT_LE(exit.response.size(), kMaxResponseBytes);
    const auto entries = read_list_response(exit);
    ASSERT_TRUE(entries.ok()) << entries.error().message;
    ASSERT_EQ(entries.value().size(), written->size());
    EXPECT_EQ(entries.value().back().command, written->back().command);
  }
}

TEST(ClientResponse, SetAnswersOfTheWrongShapeOrNotEchoingTheRequestAreUnusable) {
  const SetStartupEnabled request{"Tool", false};
  const Hostile cases[] = {
      {0, R"({"status":"ok","data":[]})", R"("data" is not an object)"},
      {0, R"({"status":"ok","data":{"name":"Tool"}})", R"("data" has no "enabled")"},
      {0, R"({"status":"ok","data":{"enabled":0,"name":"Tool"}})", R"("data": "enabled" is not a boolean)"},
      {0, R"({"status":"ok","data":{"enabled":false,"name":"Tool","scope":"hklm-run"}})",
       R"("data" has an extra member "scope")"},
      {0, R"({"status":"ok","data":{"enabled":false,"name":"tool"}})",
       R"(the answer names "tool", not the requested entry)"},
      {0, R"({"status":"ok","data":{"enabled":true,"name":"Tool"}})",
       R"(the answer says "enabled" is true, not as requested)"},
      {0, R"({"status":"ok","data":{"removed_bytes":0}})", R"("data" has no "enabled")"},
  };
  for (const auto& c : cases) expect_unusable(read_set_response({c.exit_status, c.response}, request), c);
}

TEST(ClientResponse, CleanAnswersOfTheWrongShapeAreUnusable) {
  const Hostile cases[] = {
      {0, R"({"status":"ok","data":[]})", R"("data" is not an object)"},
      {0, R"({"status":"ok","data":{}})", R"("data" has no "removed_bytes")"},
      {0, R"({"status":"ok","data":{"removed_bytes":-1}})", R"("data": "removed_bytes" is not an unsigned integer)"},
      {0, R"({"status":"ok","data":{"removed_bytes":1.5}})", R"("data": "removed_bytes" is not an unsigned integer)"},
      {0, R"({"status":"ok","data":{"removed_bytes":1e3}})", R"("data": "removed_bytes" is not an unsigned integer)"},
      {0, R"({"status":"ok","data":{"removed_bytes":"5"}})", R"("data": "removed_bytes" is not an unsigned integer)"},
      {0, R"({"status":"ok","data":{"removed_bytes":18446744073709551616}})",
       R"("data": "removed_bytes" is not an unsigned integer)"},
      {0, R"({"status":"ok","data":{"files":2,"removed_bytes":5}})", R"("data" has an extra member "files")"},
      {0, R"({"status":"ok","data":{"removed_bytes":05}})",
       "the response is not well-formed JSON (stopped at byte 41)"},
  };
  for (const auto& c : cases) expect_unusable(read_clean_response({c.exit_status, c.response}), c);
}

}  // namespace
}  // namespace tarnwick::client

#include <gtest/gtest.h>

#include <stdexcept>

#include "common/invariant.hpp"
#include "elevate/run_helper.hpp"
#include "support/describer.hpp"
#include "support/hex.hpp"
#include "support/recording_writer.hpp"

namespace tarnwick {
namespace {

class NoRegistry final : public StartupRegistry {
 public:
  Result<std::vector<RunValue>, OsError> run_values(StartupScope) override { return Err{OsError{1115}}; }
  Result<ApprovedStates, OsError> approved_values(StartupScope) override { return ApprovedStates(ascii_upcase); }
  Result<Done, OsError> set_approved_value(StartupScope, const std::string&, const Bytes&) override { return Done{}; }
};

// A cleaner whose outcome the test chooses, including throwing.
class ScriptedCleaner final : public SystemCleaner {
 public:
  std::function<Result<std::uint64_t, OsError>()> outcome = [] { return Result<std::uint64_t, OsError>(0); };
  Result<std::uint64_t, OsError> clean_system() override { return outcome(); }
};

using test::RecordingWriter;

class RecordingStream final : public ErrorStream {
 public:
  std::string text;
  void write(std::string_view bytes) override { text += bytes; }
};

struct Harness {
  NoRegistry registry;
  ScriptedCleaner cleaner;
  RecordingWriter writer;
  RecordingStream err;
  OsErrorDescriber describe = test::describe_os_error;
  int run(const std::u16string& line) {
    return run_helper(line, u"C:\\h.exe", {registry, cleaner, describe, writer, err});
  }
};

const std::u16string kCleanHex = [] {
  const std::string hex = test::hex_of(R"({"action":{"action":"clean-system"}})");
  return std::u16string(hex.begin(), hex.end());
}();

TEST(RunHelper, FewerThanTwoArgumentsGiveTheUsageLineAndNoResponse) {
  for (const std::u16string line : {u"", u"h.exe", u"h.exe 7b7d", u"h.exe   "}) {
    Harness h;
    EXPECT_EQ(h.run(line), 2);
    EXPECT_EQ(h.err.text, "usage: tarnwick-helper <request-hex> <response.json>\n");
    EXPECT_EQ(h.writer.calls, 0);
  }
}

TEST(RunHelper, SuccessWritesTheDataAndExitsZero) {
  Harness h;
  h.cleaner.outcome = [] { return Result<std::uint64_t, OsError>(1234); };
  EXPECT_EQ(h.run(u"h.exe " + kCleanHex + u" \"C:\\out dir\\r.json\" ignored"), 0);
  EXPECT_EQ(h.writer.path, "C:\\out dir\\r.json");
  EXPECT_EQ(h.writer.bytes, R"({"status":"ok","data":{"removed_bytes":1234}})");
  EXPECT_EQ(h.err.text, "");
}

TEST(RunHelper, DecodeOrActionFailureExitsOneWithTheMessage) {
  Harness h;
  EXPECT_EQ(h.run(u"h.exe 7 r.json"), 1);
  EXPECT_EQ(h.writer.bytes, R"({"status":"err","error":"bad request payload: odd hex length"})");

  Harness failing;
  failing.cleaner.outcome = [] { return Result<std::uint64_t, OsError>(Err{OsError{112}}); };
  EXPECT_EQ(failing.run(u"h.exe " + kCleanHex + u" r.json"), 1);
  EXPECT_EQ(failing.writer.bytes, R"j({"status":"err","error":"System message 112. (os error 112)"})j");
}

TEST(RunHelper, FailedWriteDoesNotChangeTheStatus) {
  Harness ok;
  ok.writer.succeed = false;
  EXPECT_EQ(ok.run(u"h.exe " + kCleanHex + u" r.json"), 0);
  Harness bad;
  bad.writer.succeed = false;
  EXPECT_EQ(bad.run(u"h.exe 7 r.json"), 1);
  EXPECT_EQ(ok.err.text + bad.err.text, "");
}

TEST(RunHelper, UnencodableResponseFallsBackAndKeepsTheStatus) {
  Harness h;
  h.cleaner.outcome = [] { return Result<std::uint64_t, OsError>(Err{OsError{1}}); };
  h.describe = [](OsError) -> std::string { return "bad \xff text"; };
  EXPECT_EQ(h.run(u"h.exe " + kCleanHex + u" r.json"), 1);
  EXPECT_EQ(h.writer.bytes, R"({"status":"err","error":"serialize"})");
}

TEST(RunHelper, EscapingExceptionsEndWithStatus101AndNoResponse) {
  struct Case {
    std::function<Result<std::uint64_t, OsError>()> outcome;
    std::string diagnostic;
  };
  const Case cases[] = {
      {[]() -> Result<std::uint64_t, OsError> { invariant_broken("scan went wrong"); },
       "tarnwick-helper: internal error: scan went wrong\n"},
      {[]() -> Result<std::uint64_t, OsError> { throw std::runtime_error("boom"); },
       "tarnwick-helper: internal error: boom\n"},
      {[]() -> Result<std::uint64_t, OsError> { throw 42; }, "tarnwick-helper: internal error: unexpected exception\n"},
  };
  for (const auto& c : cases) {
    Harness h;
    h.cleaner.outcome = c.outcome;
    EXPECT_EQ(h.run(u"h.exe " + kCleanHex + u" r.json"), 101);
    EXPECT_EQ(h.err.text, c.diagnostic);
    EXPECT_EQ(h.writer.calls, 0);
  }
}

TEST(RunHelper, ArgumentWithAnUnpairedSurrogateIsRefusedBeforeAnythingRuns) {
  Harness h;
  std::u16string line = u"h.exe " + kCleanHex + u" r";
  line.push_back(char16_t(0xDC00));
  EXPECT_EQ(h.run(line), 2);
  EXPECT_EQ(h.err.text, "tarnwick-helper: argument 2 is not valid UTF-16 text\n");
  EXPECT_EQ(h.writer.calls, 0);
}

}  // namespace
}  // namespace tarnwick

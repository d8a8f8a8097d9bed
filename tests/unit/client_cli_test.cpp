// tarnwick-client's portable part: its arguments, what it prints, and its
// exit status for every kind of outcome, with a fake helper runner.

#include <gtest/gtest.h>

#include <deque>

#include "client/cli.hpp"
#include "client/entry_table.hpp"
#include "client/human_units.hpp"
#include "support/hex.hpp"

namespace tarnwick::client {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

TEST(ClientCliArgs, ParsesCommandsAndOptionsAnywhere) {
  struct Case {
    std::vector<std::string> args;
    CliOptions options;
  };
  const auto options = [](CliCommand command, std::string name = "") {
    CliOptions o;
    o.command = command;
    o.name = std::move(name);
    return o;
  };
  CliOptions list_json = options(CliCommand::List);
  list_json.json = true;
  CliOptions clean_all = options(CliCommand::Clean);
  clean_all.json = true;
  clean_all.helper_path = "C:\\h d\\tarnwick-helper.exe";
  clean_all.timeout = 30s;
  clean_all.direct = true;
  CliOptions long_timeout = options(CliCommand::List);
  long_timeout.timeout = 86400s;
  CliOptions replaceable = options(CliCommand::List);
  replaceable.allow_replaceable_helper = true;
  const Case cases[] = {
      {{"list"}, options(CliCommand::List)},
      {{"list", "--json"}, list_json},
      {{"--json", "list"}, list_json},
      {{"--timeout", "86400", "list"}, long_timeout},
      {{"list", "--allow-replaceable-helper"}, replaceable},
      {{"clean", "--json", "--helper", "C:\\h d\\tarnwick-helper.exe", "--timeout", "30", "--direct"}, clean_all},
      {{"enable", "Tool"}, options(CliCommand::Enable, "Tool")},
      {{"disable", "Tool"}, options(CliCommand::Disable, "Tool")},
      {{"disable", ""}, options(CliCommand::Disable, "")},
      {{"disable", "-"}, options(CliCommand::Disable, "-")},
      {{"disable", "--", "--json"}, options(CliCommand::Disable, "--json")},
      {{"--", "disable", "-x"}, options(CliCommand::Disable, "-x")},
      {{"disable", "caf\xc3\xa9 \"q\" \\"}, options(CliCommand::Disable, "caf\xc3\xa9 \"q\" \\")},
      {{"--help"}, CliOptions{}},
      {{"list", "-h"}, CliOptions{}},
      {{"bogus", "--help"}, CliOptions{}},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_cli_args(c.args);
    ASSERT_TRUE(parsed.ok()) << c.args.front() << ": " << parsed.error();
    EXPECT_EQ(parsed.value(), c.options) << c.args.front();
  }
}

TEST(ClientCliArgs, RefusesWhatItCannotRunWithOneLine) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"--json"}, "no command given"},
      {{"lists"}, "unknown command 'lists'"},
      {{"LIST"}, "unknown command 'LIST'"},
      {{"enable"}, "enable needs the NAME of a startup entry"},
      {{"disable", "--json"}, "disable needs the NAME of a startup entry"},
      {{"disable", "Tool", "--json"}, "--json applies to list and clean only"},
      {{"disable", "Tool", "Other"}, "unexpected argument 'Other'"},
      {{"list", "extra"}, "unexpected argument 'extra'"},
      {{"list", "--verbose"}, "unknown option '--verbose'"},
      {{"list", "-j"}, "unknown option '-j'"},
      {{"list", "--helper"}, "--helper needs a path"},
      {{"list", "--helper", ""}, "--helper needs a path"},
      {{"list", "--helper", "a", "--helper", "b"}, "--helper given twice"},
      {{"list", "--timeout"}, "--timeout needs a number of seconds"},
      {{"list", "--timeout", "5", "--timeout", "6"}, "--timeout given twice"},
      {{"list", "--timeout", "0"}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout", "86401"}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout", "99999999999999999999"}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout", "-5"}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout", "1.5"}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout", ""}, "--timeout needs whole seconds from 1 to 86400"},
  };
  for (const auto& c : cases) {
    const auto parsed = parse_cli_args(c.args);
    ASSERT_FALSE(parsed.ok()) << c.error;
    EXPECT_EQ(parsed.error(), c.error);
  }
}

TEST(ClientHumanUnits, ShowsBytesInBinaryUnitsWithOneDecimal) {
  struct Case {
    std::uint64_t bytes;
    std::string text;
  };
  const Case cases[] = {
      {0, "0 bytes"},
      {1, "1 byte"},
      {1023, "1023 bytes"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {1075, "1.0 KB"},  // 1.0498
      {1076, "1.1 KB"},  // 1.0508: half up
      {1048524, "1023.9 KB"},
      {1048525, "1.0 MB"},  // 1023.95 KB rounds into the next unit
      {1288490189, "1.2 GB"},
      {5ull << 40, "5.0 TB"},
      {1ull << 50, "1.0 PB"},
      {1ull << 60, "1.0 EB"},
      {18446744073709551615ull, "16.0 EB"},
  };
  for (const auto& c : cases) EXPECT_EQ(human_bytes(c.bytes), c.text) << c.bytes;
}

TEST(ClientEntryTable, AlignsColumnsAndShortensOnlyCommandsToTheConsole) {
  const std::vector<StartupEntry> entries = {
      {"Tool", "C:\\Tools\\tool.exe /quiet /with /a /long /tail", true},
      {"Updater", "u.exe", false},
  };
  EXPECT_EQ(format_entry_table(entries, std::nullopt),
            "NAME     STATE  COMMAND\n"
            "Tool     on     C:\\Tools\\tool.exe /quiet /with /a /long /tail\n"
            "Updater  off    u.exe\n");
  // 40 columns: 16 for name and state, one kept free, 23 for the command
  EXPECT_EQ(format_entry_table(entries, 40),
            "NAME     STATE  COMMAND\n"
            "Tool     on     C:\\Tools\\tool.exe /q...\n"
            "Updater  off    u.exe\n");
  // a console too narrow still shows ten columns of each command
  EXPECT_EQ(format_entry_table(entries, 5),
            "NAME     STATE  COMMAND\n"
            "Tool     on     C:\\Tool...\n"
            "Updater  off    u.exe\n");
  EXPECT_EQ(format_entry_table({}, 80), "No machine-wide startup entries.\n");
}

TEST(ClientEntryTable, ShowsControlCharactersAndCountsCharactersNotBytes) {
  const std::vector<StartupEntry> entries = {
      {"a\x1b[2Jb", "x\ny\0z\x7f\xc2\x85"s, true},
      {"caf\xc3\xa9", "\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93", false},
  };
  EXPECT_EQ(format_entry_table(entries, std::nullopt),
            "NAME       STATE  COMMAND\n"
            "a\\x1b[2Jb  on     x\\x0ay\\x00z\\x7f\\x85\n"
            "caf\xc3\xa9       off    "
            "\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\xe2\x9c\x93\n");
  // 30 columns: 13 for name and state, one kept free, 16 for the command (a
  // character of three bytes counts one)
  EXPECT_EQ(
      format_entry_table({{"n", std::string(30, 'x'), true}, {"m", "\xe2\x9c\x93" + std::string(20, 'y'), true}}, 30),
      "NAME  STATE  COMMAND\n"
      "n     on     xxxxxxxxxxxxx...\n"
      "m     on     \xe2\x9c\x93yyyyyyyyyyyy...\n");
  EXPECT_EQ(printable("ok\x01\xff"), "ok\\x01\\xff");
}

// Answers each run with the next queued outcome and records the requests
// (in a list that outlives it: run_cli owns the runner).
class FakeRunner final : public HelperRunner {
 public:
  FakeRunner(std::deque<Outcome<HelperExit>> answers, std::vector<std::string>& requests)
      : answers_(std::move(answers)), requests_(requests) {}
  Outcome<HelperExit> run(std::string_view request_hex) override {
    requests_.emplace_back(request_hex);
    if (answers_.empty()) return client_error(ErrorKind::LaunchFailed, "more runs than the test expected");
    Outcome<HelperExit> next = std::move(answers_.front());
    answers_.pop_front();
    return next;
  }

 private:
  std::deque<Outcome<HelperExit>> answers_;
  std::vector<std::string>& requests_;
};

class RecordingConsole final : public CliConsole {
 public:
  void out(std::string_view text) override { standard_output += text; }
  void err(std::string_view text) override { standard_error += text; }
  std::optional<std::size_t> width() override { return console_width; }
  std::string standard_output;
  std::string standard_error;
  std::optional<std::size_t> console_width;
};

struct CliRun {
  int status = 0;
  std::string out;
  std::string err;
  std::vector<std::string> requests;
  std::optional<CliOptions> runner_options;
};

CliRun run(const std::vector<std::string>& args, std::deque<Outcome<HelperExit>> answers) {
  RecordingConsole console;
  CliRun result;
  result.status = run_cli(args, console, [&](const CliOptions& options) {
    result.runner_options = options;
    return std::make_unique<FakeRunner>(std::move(answers), result.requests);
  });
  result.out = console.standard_output;
  result.err = console.standard_error;
  return result;
}

Outcome<HelperExit> helper_said(std::uint32_t status, std::string response) {
  return HelperExit{status, std::move(response)};
}

Outcome<HelperExit> failed_to_run(ErrorKind kind, std::string message, std::uint32_t os_error = 0) {
  return Err<ClientError>{ClientError{kind, std::move(message), std::nullopt, os_error}};
}

constexpr auto kListing =
    R"({"status":"ok","data":[{"command":"C:\\t.exe","enabled":true,"name":"Tool","scope":"hklm-run"},)"
    R"({"command":"u.exe","enabled":false,"name":"Up","scope":"hklm-run"}]})";

TEST(ClientCli, PrintsEachAnswerAndSendsTheMatchingRequest) {
  struct Case {
    std::vector<std::string> args;
    Outcome<HelperExit> answer;
    std::string request;
    std::string out;
  };
  const Case cases[] = {
      {{"list"},
       helper_said(0, kListing),
       R"({"action":{"action":"startup-hklm-list"}})",
       "NAME  STATE  COMMAND\nTool  on     C:\\t.exe\nUp    off    u.exe\n"},
      {{"list", "--json"},
       helper_said(0, kListing),
       R"({"action":{"action":"startup-hklm-list"}})",
       std::string(kListing).substr(22, std::string(kListing).size() - 23) + "\n"},
      {{"list", "--json"},
       helper_said(0, R"({"status":"ok","data":[]})"),
       R"({"action":{"action":"startup-hklm-list"}})",
       "[]\n"},
      {{"disable", "Tool"},
       helper_said(0, R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})"),
       R"({"action":{"action":"startup-hklm-set","args":{"enabled":false,"name":"Tool"}}})",
       "Disabled Tool\n"},
      {{"enable", "a\"b"},
       helper_said(0, R"({"status":"ok","data":{"enabled":true,"name":"a\"b"}})"),
       R"({"action":{"action":"startup-hklm-set","args":{"enabled":true,"name":"a\"b"}}})",
       "Enabled a\"b\n"},
      {{"clean"},
       helper_said(0, R"({"status":"ok","data":{"removed_bytes":1288490189}})"),
       R"({"action":{"action":"clean-system"}})",
       "Freed 1.2 GB\n"},
      {{"clean", "--json"},
       helper_said(0, R"({"status":"ok","data":{"removed_bytes":1288490189}})"),
       R"({"action":{"action":"clean-system"}})",
       "{\"removed_bytes\":1288490189}\n"},
  };
  for (const auto& c : cases) {
    const CliRun result = run(c.args, {c.answer});
    EXPECT_EQ(result.status, 0) << c.args.front();
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.requests, std::vector<std::string>{test::hex_of(c.request)});
  }
}

TEST(ClientCli, PassesTheLaunchOptionsToTheRunner) {
  const CliRun result = run({"--helper", "D:\\h.exe", "--timeout", "7", "--direct", "clean"},
                            {helper_said(0, R"({"status":"ok","data":{"removed_bytes":0}})")});
  ASSERT_TRUE(result.runner_options.has_value());
  EXPECT_EQ(result.runner_options->helper_path, "D:\\h.exe");
  EXPECT_EQ(result.runner_options->timeout, 7s);
  EXPECT_TRUE(result.runner_options->direct);
  EXPECT_EQ(result.out, "Freed 0 bytes\n");
}

TEST(ClientCli, ReportsEveryFailureOnStandardErrorWithItsStatus) {
  struct Case {
    std::vector<std::string> args;
    Outcome<HelperExit> answer;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"disable", "tool"},
       helper_said(1, R"({"status":"err","error":"unknown HKLM startup entry: tool"})"),
       1,
       "tarnwick-client: the helper refused the request: unknown HKLM startup entry: tool\n"},
      {{"list"},
       helper_said(1, R"j({"status":"err","error":"Access is denied. (os error 5)"})j"),
       1,
       "tarnwick-client: the action failed: Access is denied. (os error 5)\n"},
      {{"clean"},
       failed_to_run(ErrorKind::ConsentDeclined, "", 1223),
       3,
       "tarnwick-client: the elevation prompt was declined\n"},
      {{"list"},
       failed_to_run(ErrorKind::LaunchFailed, "cannot start the helper: File not found. (os error 2)", 2),
       3,
       "tarnwick-client: the helper could not be started: cannot start the helper: File not found. (os error 2)\n"},
      {{"clean"},
       failed_to_run(ErrorKind::StillRunning, "600 s"),
       3,
       "tarnwick-client: the helper did not finish within 600 s\n"},
      {{"list"},
       helper_said(0, ""),
       3,
       "tarnwick-client: the helper gave no usable response (exit status 0): the response file is empty\n"},
      {{"list"},
       helper_said(101, ""),
       3,
       "tarnwick-client: the helper stopped on an internal error (exit status 101)\n"},
      {{"enable", std::string(20000, 'n')},
       failed_to_run(ErrorKind::InvalidRequest, "too long"),
       2,
       "tarnwick-client: the request cannot be sent: too long\n"},
  };
  for (const auto& c : cases) {
    const CliRun result = run(c.args, {c.answer});
    EXPECT_EQ(result.status, c.status) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

TEST(ClientCli, UsageErrorsAndHelpStartNothing) {
  const CliRun bad = run({"list", "--timeout", "0"}, {});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err,
            "tarnwick-client: usage error: --timeout needs whole seconds from 1 to 86400\n"
            "Try 'tarnwick-client --help'.\n");
  EXPECT_FALSE(bad.runner_options.has_value());

  const CliRun help = run({"--help"}, {});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, kCliHelp);
  EXPECT_FALSE(help.runner_options.has_value());
  for (const char* documented :
       {"list", "enable NAME", "disable NAME", "clean", "--json", "--helper PATH", "--timeout SECONDS", "--direct",
        "--allow-replaceable-helper", "exit status", "  3  "}) {
    EXPECT_NE(help.out.find(documented), std::string::npos) << documented;
  }
}

TEST(ClientCli, DescribesEveryKindOfError) {
  struct Case {
    ErrorKind kind;
    const char* message;
    std::optional<std::uint32_t> exit_status;
    const char* text;
    int status;
  };
  const Case cases[] = {
      {ErrorKind::Refused, "bad request json: x", 1u, "the helper refused the request: bad request json: x", 1},
      {ErrorKind::ActionFailed, "m", 1u, "the action failed: m", 1},
      {ErrorKind::ConsentDeclined, "", std::nullopt, "the elevation prompt was declined", 3},
      {ErrorKind::LaunchFailed, "m", std::nullopt, "the helper could not be started: m", 3},
      {ErrorKind::StillRunning, "250 ms", std::nullopt, "the helper did not finish within 250 ms", 3},
      {ErrorKind::NoUsableResponse, "m", 7u, "the helper gave no usable response (exit status 7): m", 3},
      {ErrorKind::InternalError, "", 101u, "the helper stopped on an internal error (exit status 101)", 3},
      {ErrorKind::InvalidRequest, "m", std::nullopt, "the request cannot be sent: m", 2},
  };
  for (const auto& c : cases) {
    const ClientError error{c.kind, c.message, c.exit_status, 0};
    EXPECT_EQ(describe(error), c.text);
    EXPECT_EQ(cli_exit_for(error), c.status) << c.text;
  }
  EXPECT_EQ(launch_error(1223, "cannot start the helper", "The operation was canceled by the user. (os error 1223)"),
            (ClientError{ErrorKind::ConsentDeclined, "", std::nullopt, 1223}));
  EXPECT_EQ(
      launch_error(2, "cannot start the helper", "File not found. (os error 2)"),
      (ClientError{ErrorKind::LaunchFailed, "cannot start the helper: File not found. (os error 2)", std::nullopt, 2}));
  EXPECT_EQ(timed_out(250ms).value, (ClientError{ErrorKind::StillRunning, "250 ms", std::nullopt, 0}));
  EXPECT_EQ(timed_out(600s).value.message, "600 s");
}

}  // namespace
}  // namespace tarnwick::client

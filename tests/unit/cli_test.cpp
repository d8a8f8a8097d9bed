// tarnwick-client's portable part: its arguments, what it prints, and its
// exit status for every kind of outcome, with a fake helper runner; and the
// library's portable rules it uses (lookup, launch method, display width).

#include <gtest/gtest.h>

#include <deque>
#include <regex>

#include <nlohmann/json.hpp>

#include "cli/cli.hpp"
#include "client/entry_lookup.hpp"
#include "cli/entry_table.hpp"
#include "cli/human_units.hpp"
#include "support/hex.hpp"

namespace tarnwick::cli {

// The library this program is written over.
using namespace client;
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
  CliOptions list_attached = options(CliCommand::List);
  list_attached.timeout = 30s;
  list_attached.helper_path = "C:\\h=d\\h.exe";
  CliOptions disable_json = options(CliCommand::Disable, "Tool");
  disable_json.json = true;
  disable_json.verbose = true;
  CliOptions version = options(CliCommand::Version);
  const auto help_on = [](CliCommand topic) {
    CliOptions o;
    o.help_topic = topic;
    return o;
  };
  CliOptions unc_helper = options(CliCommand::List);
  unc_helper.helper_path = "\\\\server\\share\\h.exe";
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
      {{"--timeout=30", "--helper=C:\\h=d\\h.exe", "list"}, list_attached},
      {{"list", "--helper", "C:\\h=d\\h.exe", "--timeout", "30"}, list_attached},
      {{"disable", "--json", "Tool", "--verbose"}, disable_json},
      {{"--version"}, version},
      {{"version"}, version},
      {{"--help"}, CliOptions{}},
      {{"bogus", "--help"}, CliOptions{}},
      {{"help"}, CliOptions{}},
      {{"/?"}, CliOptions{}},
      {{"-?"}, CliOptions{}},
      {{"/HELP"}, CliOptions{}},
      {{"--version", "--help"}, CliOptions{}},
      {{"help", "help"}, CliOptions{}},
      // one command's help
      {{"list", "-h"}, help_on(CliCommand::List)},
      {{"help", "list"}, help_on(CliCommand::List)},
      {{"HELP", "Disable"}, help_on(CliCommand::Disable)},
      {{"enable", "Tool", "/?"}, help_on(CliCommand::Enable)},
      {{"--help", "clean"}, help_on(CliCommand::Clean)},
      {{"help", "version"}, help_on(CliCommand::Version)},
      // commands and option names in any case, names as given
      {{"LIST", "--JSON"}, list_json},
      {{"Disable", "--Json", "Tool", "--VERBOSE"}, disable_json},
      {{"--TIMEOUT=30", "--Helper=C:\\h=d\\h.exe", "List"}, list_attached},
      {{"VERSION"}, version},
      // after "--", help words are names
      {{"disable", "--", "/?"}, options(CliCommand::Disable, "/?")},
      {{"disable", "--", "-h"}, options(CliCommand::Disable, "-h")},
      // a full path of any form (the library decides which it starts elevated)
      {{"list", "--helper", "\\\\server\\share\\h.exe"}, unc_helper},
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
      {{"lists"}, "unknown command 'lists'"},
      {{"help", "bogus"}, "unknown command 'bogus'"},
      {{"help", "list", "x"}, "unexpected argument 'x'"},
      {{"version", "x"}, "unexpected argument 'x'"},
      {{"list", "--JSON=yes"}, "--json takes no value"},
      {{"enable"}, "enable needs the NAME of a startup entry"},
      {{"disable", "--json"}, "disable needs the NAME of a startup entry"},
      {{"list", "--json=yes"}, "--json takes no value"},
      {{"list", "--direct="}, "--direct takes no value"},
      {{"list", "--help=1"}, "--help takes no value"},
      {{"list", "--version"}, "--version takes no command"},
      {{"list", "--timeout="}, "--timeout needs whole seconds from 1 to 86400"},
      {{"list", "--timeout=30", "--timeout", "30"}, "--timeout given twice"},
      {{"list", "--helper="}, "--helper needs a path"},
      {{"list", "-timeout=30"}, "unknown option '-timeout=30'"},
      {{"list", "--tim=30"}, "unknown option '--tim=30'"},
      {{"disable", "Tool", "Other"}, "unexpected argument 'Other'"},
      {{"list", "extra"}, "unexpected argument 'extra'"},
      {{"list", "--quiet"}, "unknown option '--quiet'"},
      {{"list", "-j"}, "unknown option '-j'"},
      {{"list", "--helper"}, "--helper needs a path"},
      {{"list", "--helper", ""}, "--helper needs a path"},
      {{"list", "--helper", "C:\\a", "--helper", "C:\\b"}, "--helper given twice"},
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

TEST(ClientCliArgs, RefusesAHelperPathRelativeToTheCurrentFolderOrDrive) {
  for (const char* path : {"tarnwick-helper.exe", "bin\\tarnwick-helper.exe", "..\\h.exe", ".\\h.exe",
                           "\\Tarnwick\\h.exe", "/Tarnwick/h.exe", "C:h.exe", "C:"}) {
    const auto parsed = parse_cli_args({"--helper", path, "list"});
    ASSERT_FALSE(parsed.ok()) << path;
    EXPECT_EQ(parsed.error(),
              "--helper needs a full path (such as C:\\Program Files\\Tarnwick\\tarnwick-helper.exe), not one "
              "relative to the current folder: '" +
                  std::string(path) + "'");
  }
  for (const char* path : {"C:\\Program Files\\Tarnwick\\tarnwick-helper.exe", "D:/t/h.exe", "\\\\?\\C:\\t\\h.exe"}) {
    EXPECT_TRUE(parse_cli_args({"--helper", path, "list"}).ok()) << path;
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

TEST(ClientEntryTable, EastAsianWideCharactersTakeTwoColumns) {
  const std::string tokyo = "\xe6\x9d\xb1\xe4\xba\xac\xe9\x83\xbd";    // 東京都: six columns
  const std::string nihongo = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";  // 日本語
  const std::vector<StartupEntry> entries = {{tokyo, "a.exe", true}, {"Tool", "b.exe", false}};
  EXPECT_EQ(format_entry_table(entries, std::nullopt),
            "NAME    STATE  COMMAND\n" + tokyo + "  on     a.exe\nTool    off    b.exe\n");
  // 30 columns: 15 for name and state, one kept free, 14 for the command:
  // five wide characters and "..." (a sixth would need 15)
  EXPECT_EQ(format_entry_table({{tokyo, nihongo + nihongo + nihongo + "x", true}}, 30),
            "NAME    STATE  COMMAND\n" + tokyo + "  on     " + nihongo + nihongo.substr(0, 6) + "...\n");
  // fullwidth forms (F) count two, halfwidth katakana and accented letters one
  EXPECT_EQ(format_entry_table({{"\xef\xbc\xa1", "x", true}, {"\xef\xbd\xb1\xc3\xa9", "y", true}}, std::nullopt),
            "NAME  STATE  COMMAND\n\xef\xbc\xa1    on     x\n\xef\xbd\xb1\xc3\xa9    on     y\n");
}

TEST(ClientEntryTable, CombiningMarksAndFormatCharactersTakeNoColumn) {
  const std::string accented = "Cafe\xcc\x81";            // Café, the accent a combining mark: four columns
  const std::string hangul = "\xe1\x84\x80\xe1\x85\xa1";  // U+1100 U+1161, one syllable: two
  const std::string joined =
      "a\xe2\x80\x8d\xe2\x80\x8b"
      "b\xc2\xad";  // ZWJ and ZWSP none, soft hyphen one: three
  EXPECT_EQ(
      format_entry_table({{accented, "x", true}, {hangul, "y", true}, {joined, "z", true}}, std::nullopt),
      "NAME  STATE  COMMAND\n" + accented + "  on     x\n" + hangul + "    on     y\n" + joined + "   on     z\n");
  // 30 columns leave 16 for the command: 13 letters, each with its accent, and "..."
  std::string command;
  for (int i = 0; i < 20; ++i) command += "e\xcc\x81";
  EXPECT_EQ(format_entry_table({{"n", command, true}}, 30),
            "NAME  STATE  COMMAND\nn     on     " + command.substr(0, 13 * 3) + "...\n");
}

TEST(ClientEntryLookup, FindsTheListedNameIgnoringCaseAsTheRegistryDoes) {
  const std::vector<StartupEntry> entries = {
      {"Tool", "t.exe", true},
      {"Caf\xc3\xa9", "c.exe", true},               // Café
      {"\xd0\x9f\xd1\x80\xd0\xbe", "p.exe", true},  // Про
      {"", "default.exe", true},
      {"exact", "e1.exe", true},
      {"EXACT", "e2.exe", true},
      {"\xc3\x9f", "s.exe", true},  // ß: its uppercase is two letters, so it matches only itself
  };
  struct Case {
    std::string typed;
    const char* found_command;  // nullptr: none
  };
  const Case cases[] = {
      {"Tool", "t.exe"},
      {"tool", "t.exe"},
      {"TOOL", "t.exe"},
      {"CAF\xc3\x89", "c.exe"},               // CAFÉ
      {"\xd0\xbf\xd0\xa0\xd0\x9e", "p.exe"},  // пРО
      {"", "default.exe"},
      {"exact", "e1.exe"},  // an exact name wins over one that differs in case alone
      {"EXACT", "e2.exe"},
      {"Exact", nullptr},  // two listed names differ in case alone: neither is taken
      {"\xc3\x9f", "s.exe"},
      {"SS", nullptr},
      {"Tool ", nullptr},
      {"Too", nullptr},
      {"T\xc3\xb6ol", nullptr},
      {"\xff", nullptr},  // not UTF-8: compared byte for byte
  };
  for (const auto& c : cases) {
    const StartupEntry* found = find_entry(entries, c.typed);
    if (c.found_command == nullptr) {
      EXPECT_EQ(found, nullptr) << c.typed;
    } else {
      ASSERT_NE(found, nullptr) << c.typed;
      EXPECT_EQ(found->command, c.found_command) << c.typed;
    }
  }
  EXPECT_TRUE(same_name_ignoring_case("a\xc3\xbf", "A\xc5\xb8"));  // ÿ and Ÿ lie in different blocks
  EXPECT_TRUE(same_name_ignoring_case("\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"));
  EXPECT_FALSE(same_name_ignoring_case("a", "a\0"s));
}

TEST(ClientEntryLookup, SuggestsTheNearestListedNamesNearestFirst) {
  const std::vector<StartupEntry> entries = {
      {"Updater", "", true},
      {"Tool", "", true},
      {"Tools", "", true},
      {"OneDrive", "", true},
      {"Toil", "", true},
      {"Tab", "", true},
      {std::string(300, 'a'), "", true},
  };
  struct Case {
    std::string typed;
    std::vector<std::string> nearest;
  };
  const Case cases[] = {
      {"tol", {"Tool", "Toil", "Tools"}},  // one edit, one, two (listing order between equals)
      {"TOOLS", {"Tools", "Tool", "Toil"}},
      {"onedrvie", {"OneDrive"}},  // two edits in eight letters
      {"updatr", {"Updater"}},
      {"zzzzzzzz", {}},
      {"ta", {"Tab"}},
      {std::string(300, 'a'), {}},  // names this long are not compared
  };
  for (const auto& c : cases) EXPECT_EQ(nearest_names(entries, c.typed), c.nearest) << c.typed;
  EXPECT_EQ(nearest_names(entries, "tol", 1), std::vector<std::string>{"Tool"});
}

TEST(ClientLaunch, OnlyARequestThatNeedsAdminRightsElevatesAndOnlyWhenAllowed) {
  struct Case {
    Rights rights;
    bool may_elevate;
    LaunchMethod method;
  };
  const Case cases[] = {
      {Rights::User, true, LaunchMethod::Direct},  // listing: never a prompt
      {Rights::User, false, LaunchMethod::Direct},
      {Rights::Admin, true, LaunchMethod::ShellRunas},
      {Rights::Admin, false, LaunchMethod::Direct},  // --direct, an elevated caller
  };
  for (const auto& c : cases) {
    EXPECT_EQ(launch_method(c.rights, c.may_elevate), c.method) << static_cast<int>(c.rights) << c.may_elevate;
  }
  EXPECT_EQ(launch_method_name(LaunchMethod::ShellRunas), "ShellExecuteExW \"runas\"");
  EXPECT_EQ(launch_method_name(LaunchMethod::Direct), "CreateProcessW");
}

TEST(ClientOutcome, AskingForTheMissingSideBreaksAnInvariantInEveryBuildMode) {
  Outcome<int> failed = client_error(ErrorKind::NotFound, "x");
  const Outcome<int> succeeded = 7;
  EXPECT_THROW(static_cast<void>(failed.value()), InvariantBroken);
  EXPECT_THROW(static_cast<void>(std::move(failed).value()), InvariantBroken);
  EXPECT_THROW(static_cast<void>(succeeded.error()), InvariantBroken);
  EXPECT_EQ(succeeded.value(), 7);
}

// Answers each run with the next queued outcome and records the requests and
// the rights asked for (in lists that outlive it: run_cli owns the runner).
class FakeRunner final : public HelperRunner {
 public:
  FakeRunner(std::deque<Outcome<HelperExit>> answers, std::vector<std::string>& requests, std::vector<Rights>& rights)
      : answers_(std::move(answers)), requests_(requests), rights_(rights) {}
  Outcome<HelperExit> run(std::string_view request_hex, Rights rights) override {
    requests_.emplace_back(request_hex);
    rights_.push_back(rights);
    if (answers_.empty()) return client_error(ErrorKind::LaunchFailed, "more runs than the test expected");
    Outcome<HelperExit> next = std::move(answers_.front());
    answers_.pop_front();
    return next;
  }

 private:
  std::deque<Outcome<HelperExit>> answers_;
  std::vector<std::string>& requests_;
  std::vector<Rights>& rights_;
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
  std::vector<Rights> rights;
  std::optional<CliOptions> runner_options;
};

CliRun run(const std::vector<std::string>& args, std::deque<Outcome<HelperExit>> answers) {
  RecordingConsole console;
  CliRun result;
  result.status = run_cli(args, console, [&](const CliOptions& options) {
    result.runner_options = options;
    return std::make_unique<FakeRunner>(std::move(answers), result.requests, result.rights);
  });
  result.out = console.standard_output;
  result.err = console.standard_error;
  return result;
}

Outcome<HelperExit> helper_said(std::uint32_t status, std::string response) {
  return HelperExit{status, std::move(response)};
}

Outcome<HelperExit> failed_to_run(ErrorKind kind, std::string message, std::uint32_t os_error = 0) {
  return Err<ClientError>{ClientError{kind, std::move(message), std::nullopt, os_error, 0}};
}

constexpr auto kListing =
    R"({"status":"ok","data":[{"command":"C:\\t.exe","enabled":true,"name":"Tool","scope":"hklm-run"},)"
    R"({"command":"u.exe","enabled":false,"name":"Up","scope":"hklm-run"}]})";
constexpr auto kListRequest = R"({"action":{"action":"startup-hklm-list"}})";

TEST(ClientCli, PrintsEachAnswerAndSendsTheMatchingRequestsWithTheRightsEachNeeds) {
  struct Case {
    std::vector<std::string> args;
    std::deque<Outcome<HelperExit>> answers;
    std::vector<std::string> requests;
    std::vector<Rights> rights;
    std::string out;
  };
  const std::string listing_data = std::string(kListing).substr(22, std::string(kListing).size() - 23);
  const Case cases[] = {
      {{"list"},
       {helper_said(0, kListing)},
       {kListRequest},
       {Rights::User},
       "NAME  STATE  COMMAND\nTool  on     C:\\t.exe\nUp    off    u.exe\n"},
      {{"list", "--json"}, {helper_said(0, kListing)}, {kListRequest}, {Rights::User}, listing_data + "\n"},
      {{"list", "--json"}, {helper_said(0, R"({"status":"ok","data":[]})")}, {kListRequest}, {Rights::User}, "[]\n"},
      // a set lists first (no prompt), then sets the listed name, elevated
      {{"disable", "Tool"},
       {helper_said(0, kListing), helper_said(0, R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})")},
       {kListRequest, R"({"action":{"action":"startup-hklm-set","args":{"enabled":false,"name":"Tool"}}})"},
       {Rights::User, Rights::Admin},
       "Disabled Tool\n"},
      {{"disable", "tool"},  // found ignoring case; the entry's own name is sent and printed
       {helper_said(0, kListing), helper_said(0, R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})")},
       {kListRequest, R"({"action":{"action":"startup-hklm-set","args":{"enabled":false,"name":"Tool"}}})"},
       {Rights::User, Rights::Admin},
       "Disabled Tool\n"},
      {{"enable", "UP", "--json"},
       {helper_said(0, kListing), helper_said(0, R"({"status":"ok","data":{"enabled":true,"name":"Up"}})")},
       {kListRequest, R"({"action":{"action":"startup-hklm-set","args":{"enabled":true,"name":"Up"}}})"},
       {Rights::User, Rights::Admin},
       "{\"enabled\":true,\"name\":\"Up\"}\n"},
      {{"enable", "a\"b"},
       {helper_said(0, R"({"status":"ok","data":[{"command":"","enabled":false,"name":"a\"b","scope":"hklm-run"}]})"),
        helper_said(0, R"({"status":"ok","data":{"enabled":true,"name":"a\"b"}})")},
       {kListRequest, R"({"action":{"action":"startup-hklm-set","args":{"enabled":true,"name":"a\"b"}}})"},
       {Rights::User, Rights::Admin},
       "Enabled a\"b\n"},
      // already in the state asked for: said so, nothing started elevated
      {{"disable", "up"}, {helper_said(0, kListing)}, {kListRequest}, {Rights::User}, "Up is disabled already\n"},
      {{"enable", "Tool"}, {helper_said(0, kListing)}, {kListRequest}, {Rights::User}, "Tool is enabled already\n"},
      {{"enable", "TOOL", "--json"},
       {helper_said(0, kListing)},
       {kListRequest},
       {Rights::User},
       "{\"enabled\":true,\"name\":\"Tool\"}\n"},
      {{"clean"},
       {helper_said(0, R"({"status":"ok","data":{"removed_bytes":1288490189}})")},
       {R"({"action":{"action":"clean-system"}})"},
       {Rights::Admin},
       "Freed 1.2 GB\n"},
      {{"clean", "--json"},
       {helper_said(0, R"({"status":"ok","data":{"removed_bytes":1288490189}})")},
       {R"({"action":{"action":"clean-system"}})"},
       {Rights::Admin},
       "{\"removed_bytes\":1288490189}\n"},
  };
  for (const auto& c : cases) {
    const CliRun result = run(c.args, c.answers);
    EXPECT_EQ(result.status, 0) << c.args.front();
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    std::vector<std::string> hex;
    for (const std::string& request : c.requests) hex.push_back(test::hex_of(request));
    EXPECT_EQ(result.requests, hex);
    EXPECT_EQ(result.rights, c.rights) << c.args.front();
  }
}

TEST(ClientCli, PassesTheLaunchOptionsToTheRunner) {
  const CliRun result = run({"--helper", "D:\\h.exe", "--timeout=7", "--direct", "--verbose", "clean"},
                            {helper_said(0, R"({"status":"ok","data":{"removed_bytes":0}})")});
  ASSERT_TRUE(result.runner_options.has_value());
  EXPECT_EQ(result.runner_options->helper_path, "D:\\h.exe");
  EXPECT_EQ(result.runner_options->timeout, 7s);
  EXPECT_TRUE(result.runner_options->direct);
  EXPECT_TRUE(result.runner_options->verbose);
  EXPECT_EQ(result.out, "Freed 0 bytes\n");
}

TEST(ClientCli, ReportsEveryFailureWithItsOwnStatusAsTextOrUnderJsonAsAnObject) {
  struct Case {
    std::vector<std::string> args;
    std::deque<Outcome<HelperExit>> answers;
    int status;
    std::string kind;
    std::string message;
    // under --json: the nearest names a not-found error from the listing gives
    std::optional<std::vector<std::string>> nearest = std::nullopt;
  };
  const Case cases[] = {
      {{"disable", "nosuch"},
       {helper_said(0, kListing)},
       3,
       "not-found",
       "no startup entry is named \"nosuch\" ('tarnwick-client list' shows them)",
       std::vector<std::string>{}},
      {{"enable", "tol"},
       {helper_said(0, kListing)},
       3,
       "not-found",
       "no startup entry is named \"tol\"; nearest: \"Tool\"",
       std::vector<std::string>{"Tool"}},
      {{"enable", "U\x1b"},
       {helper_said(0, kListing)},
       3,
       "not-found",
       "no startup entry is named \"U\\x1b\"; nearest: \"Up\"",
       std::vector<std::string>{"Up"}},
      // gone between the listing and the set: the helper's refusal is NotFound too
      {{"disable", "Tool"},
       {helper_said(0, kListing), helper_said(1, R"({"status":"err","error":"unknown HKLM startup entry: Tool"})")},
       3,
       "not-found",
       "unknown HKLM startup entry: Tool"},
      {{"list"},
       {helper_said(1, R"({"status":"err","error":"bad request json: x"})")},
       1,
       "refused",
       "the helper refused the request: bad request json: x"},
      {{"list"},
       {helper_said(1, R"j({"status":"err","error":"Access is denied. (os error 5)"})j")},
       1,
       "action-failed",
       "the action failed: Access is denied. (os error 5)"},
      {{"clean"},
       {failed_to_run(ErrorKind::ConsentDeclined, "", 1223)},
       4,
       "consent-declined",
       "the elevation prompt was declined; nothing was changed"},
      {{"list"},
       {failed_to_run(ErrorKind::LaunchFailed, "C:\\x\\tarnwick-helper.exe: File not found. (os error 2)", 2)},
       5,
       "launch-failed",
       "the helper could not be started: C:\\x\\tarnwick-helper.exe: File not found. (os error 2)"},
      {{"clean"},
       {Err<ClientError>{still_running(600s, 4242).value}},
       6,
       "still-running",
       "the helper is still running after 600 s (process 4242) and may still change things"},
      {{"list"},
       {helper_said(0, "")},
       7,
       "no-usable-response",
       "the helper gave no usable response (exit status 0): the response file is empty"},
      {{"list"},
       {helper_said(101, "")},
       8,
       "internal-error",
       "the helper stopped on an internal error (exit status 101)"},
      {{"clean"},
       {failed_to_run(ErrorKind::InvalidRequest, "too long")},
       2,
       "invalid-request",
       "the request cannot be sent: too long"},
      {{"list", "--timeout", "0"}, {}, 2, "usage", "usage error: --timeout needs whole seconds from 1 to 86400"},
  };
  for (const auto& c : cases) {
    const CliRun text = run(c.args, c.answers);
    EXPECT_EQ(text.status, c.status) << c.message;
    const std::string try_help = c.kind == "usage" ? "Try 'tarnwick-client --help'.\n" : "";
    EXPECT_EQ(text.err, "tarnwick-client: " + c.message + "\n" + try_help);
    EXPECT_EQ(text.out, "");

    std::vector<std::string> json_args = c.args;
    json_args.push_back("--json");
    const CliRun json = run(json_args, c.answers);
    EXPECT_EQ(json.status, c.status) << c.message;
    EXPECT_EQ(json.err, "");
    nlohmann::json expected = {{"error", {{"kind", c.kind}, {"message", c.message}}}};
    if (c.nearest) expected["error"]["nearest"] = *c.nearest;
    EXPECT_EQ(json.out, expected.dump() + "\n");
  }
}

TEST(ClientCli, ANameNotListedStartsNothingElevated) {
  const CliRun result = run({"disable", "nosuch"}, {helper_said(0, kListing)});
  EXPECT_EQ(result.rights, std::vector<Rights>{Rights::User});
}

TEST(ClientCli, HelpVersionAndUsageErrorsStartNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"help"}, {"/?"}, {"-?"}, {"/Help"}, {"--json", "help"}}) {
    const CliRun help = run(args, {});
    EXPECT_EQ(help.status, 0) << args.front();
    EXPECT_EQ(help.out, kCliHelp);
    EXPECT_EQ(help.err, "");
    EXPECT_FALSE(help.runner_options.has_value());
  }
  for (const char* documented :
       {"list", "enable NAME", "disable NAME", "clean", "--json", "--helper PATH", "--timeout SECONDS", "--direct",
        "--verbose", "--version", "/?", "exit status", "  3  ", "  4  ", "  5  ", "  6  ", "  7  ", "  8  "}) {
    EXPECT_NE(std::string(kCliHelp).find(documented), std::string::npos) << documented;
  }
  for (const ErrorKind kind : {ErrorKind::Refused, ErrorKind::NotFound, ErrorKind::ActionFailed,
                               ErrorKind::ConsentDeclined, ErrorKind::LaunchFailed, ErrorKind::StillRunning,
                               ErrorKind::NoUsableResponse, ErrorKind::InternalError, ErrorKind::InvalidRequest}) {
    EXPECT_NE(std::string(kCliHelp).find(std::string(kind_name(kind))), std::string::npos) << kind_name(kind);
  }

  for (const auto& [args, usage] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"help", "list"}, "usage: tarnwick-client [options] list\n"},
           {{"Enable", "/?"}, "usage: tarnwick-client [options] enable NAME\n"},
           {{"disable", "--help"}, "usage: tarnwick-client [options] disable NAME\n"},
           {{"clean", "-h", "--json"}, "usage: tarnwick-client [options] clean\n"},
           {{"help", "version"}, "usage: tarnwick-client version\n"}}) {
    const CliRun help = run(args, {});
    EXPECT_EQ(help.status, 0) << usage;
    EXPECT_TRUE(help.out.starts_with(usage)) << help.out;
    EXPECT_NE(help.out, kCliHelp);
    EXPECT_FALSE(help.runner_options.has_value());
  }

  const CliRun none = run({}, {});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err, kCliHelp);
  EXPECT_EQ(none.out, "");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--version"}, {"version"}}) {
    const CliRun version = run(args, {});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("tarnwick-client [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
    EXPECT_FALSE(version.runner_options.has_value());
  }
}

TEST(ClientCli, DescribesEveryKindOfErrorAndGivesEachItsOwnStatus) {
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
      {ErrorKind::InvalidRequest, "m", std::nullopt, "the request cannot be sent: m", 2},
      {ErrorKind::NotFound, "unknown HKLM startup entry: x", 1u, "unknown HKLM startup entry: x", 3},
      {ErrorKind::ConsentDeclined, "", std::nullopt, "the elevation prompt was declined; nothing was changed", 4},
      {ErrorKind::LaunchFailed, "m", std::nullopt, "the helper could not be started: m", 5},
      {ErrorKind::StillRunning, "still running m", std::nullopt, "the helper is still running m", 6},
      {ErrorKind::NoUsableResponse, "m", 7u, "the helper gave no usable response (exit status 7): m", 7},
      {ErrorKind::InternalError, "", 101u, "the helper stopped on an internal error (exit status 101)", 8},
  };
  for (const auto& c : cases) {
    const ClientError error{c.kind, c.message, c.exit_status, 0, 0};
    EXPECT_EQ(describe(error), c.text);
    EXPECT_EQ(cli_exit_for(error), c.status) << c.text;
  }
  EXPECT_EQ(launch_error(1223, "C:\\h.exe", "The operation was canceled by the user. (os error 1223)"),
            (ClientError{ErrorKind::ConsentDeclined, "", std::nullopt, 1223, 0}));
  EXPECT_EQ(launch_error(2, "C:\\h.exe", "File not found. (os error 2)"),
            (ClientError{ErrorKind::LaunchFailed, "C:\\h.exe: File not found. (os error 2)", std::nullopt, 2, 0}));
  EXPECT_EQ(still_running(250ms, 17).value,
            (ClientError{ErrorKind::StillRunning, "still running after 250 ms (process 17) and may still change things",
                         std::nullopt, 0, 17}));
  EXPECT_EQ(still_running(600s, 1).value.message, "still running after 600 s (process 1) and may still change things");
}

}  // namespace
}  // namespace tarnwick::cli

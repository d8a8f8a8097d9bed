// tarnwick-client.exe end to end: the real helper beside it, started directly
// for a listing and through ShellExecuteExW "runas" for a change (Wine
// shows no prompt), on the test prefix's machine-wide Run and
// StartupApproved keys and its Windows Temp folder.

#include <gtest/gtest.h>

#include "support/hex.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/run_folders.hpp"
#include "win/support/startup_keys.hpp"
#include "win/support/system_folders.hpp"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

// The helper sits in the build folder, which the user owns (under Wine every
// file is the user's): the client is told to start it all the same.
HelperRun client(const std::wstring& arguments) {
  return run_program(exe_beside_tests(L"tarnwick-client.exe"), L"--allow-replaceable-helper " + arguments);
}

std::wstring windows_temp() { return system_windows_directory_path() + L"\\Temp"; }

class ClientExe : public ::testing::Test {
 protected:
  void SetUp() override {
    TARNWICK_SKIP_UNLESS_MACHINE_STATE();
    reset_to_alpha_and_tool();
    folders_before_ = run_folders();
  }
  void TearDown() override {
    if (IsSkipped()) return;
    EXPECT_EQ(run_folders(), folders_before_) << "a per-run folder was left behind";
    reset_startup_keys();
  }

 private:
  std::vector<std::wstring> folders_before_;
};

TEST_F(ClientExe, ListJsonGivesTheEntriesOfTheHelpersOwnResponse) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  const HelperRun helper =
      run_helper_exe(widen_ascii(hex_of(R"({"action":{"action":"startup-hklm-list"}})")) + L" \"" + response + L"\"");
  ASSERT_EQ(helper.exit_code, 0u);
  const std::string envelope = read_file_bytes(response);
  const std::string prefix = R"({"status":"ok","data":)";
  ASSERT_EQ(envelope.substr(0, prefix.size()), prefix);
  const std::string data = envelope.substr(prefix.size(), envelope.size() - prefix.size() - 1);

  const HelperRun listed = client(L"list --json");
  EXPECT_EQ(listed.exit_code, 0u);
  EXPECT_EQ(listed.standard_error, "");
  EXPECT_EQ(listed.standard_output, data + "\n");
  EXPECT_NE(data.find(R"("name":"Tool")"), std::string::npos);
}

TEST_F(ClientExe, DisableThenListShowsItOffAndEnableTurnsItBackOn) {
  const HelperRun disabled = client(L"disable Tool");
  EXPECT_EQ(disabled.exit_code, 0u);
  EXPECT_EQ(disabled.standard_error, "");
  EXPECT_EQ(disabled.standard_output, "Disabled Tool\n");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x03"s + std::string(11, '\0')}));
  const std::string table_off =
      "NAME   STATE  COMMAND\n"
      "Alpha  on     %ProgramFiles%\\a.exe\n"
      "Tool   off    C:\\Tools\\tool.exe /quiet\n";
  EXPECT_EQ(client(L"list").standard_output, table_off);

  const HelperRun enabled = client(L"--direct enable Tool");  // the direct start, as an elevated caller uses
  EXPECT_EQ(enabled.exit_code, 0u);
  EXPECT_EQ(enabled.standard_output, "Enabled Tool\n");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x02"s + std::string(11, '\0')}));
  EXPECT_NE(client(L"list").standard_output.find("Tool   on     C:\\Tools\\tool.exe /quiet\n"), std::string::npos);

  // Already on: said so, and the stored state stays as it is.
  const HelperRun again = client(L"ENABLE tool");
  EXPECT_EQ(again.exit_code, 0u);
  EXPECT_EQ(again.standard_output, "Tool is enabled already\n");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x02"s + std::string(11, '\0')}));
}

TEST_F(ClientExe, ANameWithQuotesBackslashesAndUnicodeReachesTheHelperIntact) {
  const std::wstring name = L"Caf\u00e9 \"q\" \\ \u2713 \U0001F600";
  put_value(kRunKeyPath, name, REG_SZ, utf16_bytes(L"x.exe"));
  // quoted by the C runtime's rules: \" for a quote; a backslash before a space is literal
  const HelperRun disabled = client(L"disable \"Caf\u00e9 \\\"q\\\" \\ \u2713 \U0001F600\"");
  EXPECT_EQ(disabled.exit_code, 0u) << disabled.standard_error;
  EXPECT_EQ(approved_value_stored(name), (StoredValue{REG_BINARY, "\x03"s + std::string(11, '\0')}));
  EXPECT_FALSE(approved_value_stored(L"Tool").has_value());
}

TEST_F(ClientExe, ANameInAnotherCaseChangesTheListedEntryAndNamesIt) {
  const HelperRun disabled = client(L"disable tool");
  EXPECT_EQ(disabled.exit_code, 0u) << disabled.standard_error;
  EXPECT_EQ(disabled.standard_output, "Disabled Tool\n");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x03"s + std::string(11, '\0')}));
  const HelperRun enabled = client(L"enable TOOL --json");
  EXPECT_EQ(enabled.exit_code, 0u) << enabled.standard_error;
  EXPECT_EQ(enabled.standard_output, "{\"enabled\":true,\"name\":\"Tool\"}\n");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x02"s + std::string(11, '\0')}));
}

TEST_F(ClientExe, ANameNotListedIsNotFoundWithTheNearestNamesAndChangesNothing) {
  const HelperRun missing = client(L"disable tol");
  EXPECT_EQ(missing.exit_code, 3u);
  EXPECT_EQ(missing.standard_output, "");
  EXPECT_EQ(missing.standard_error, "tarnwick-client: no startup entry is named \"tol\"; nearest: \"Tool\"\n");

  const HelperRun json = client(L"--json disable nosuch");
  EXPECT_EQ(json.exit_code, 3u);
  EXPECT_EQ(json.standard_error, "");
  EXPECT_EQ(
      json.standard_output,
      R"j({"error":{"kind":"not-found","message":"no startup entry is named \"nosuch\" ('tarnwick-client list' shows them)","nearest":[]}})j"
      "\n");
  EXPECT_FALSE(approved_key_exists());
}

// The launch method of each helper run, as --verbose traces it: the listing
// runs with the user's rights (CreateProcessW), the set through the shell's
// "runas" verb (under Wine, where every process is elevated, without a prompt).
TEST_F(ClientExe, ListDoesNotElevateAndDisableDoes) {
  const std::string helper = [] {
    const std::wstring path = exe_beside_tests(L"tarnwick-helper.exe");
    return std::string(path.begin(), path.end());  // ASCII in the test prefix
  }();
  const HelperRun listed = client(L"--verbose list --json");
  EXPECT_EQ(listed.exit_code, 0u);
  EXPECT_EQ(listed.standard_error, "tarnwick-client: starting " + helper + " with CreateProcessW\n");

  const HelperRun disabled = client(L"disable --verbose Tool");
  EXPECT_EQ(disabled.exit_code, 0u);
  EXPECT_EQ(disabled.standard_error, "tarnwick-client: starting " + helper + " with CreateProcessW\n" +
                                         "tarnwick-client: starting " + helper + " with ShellExecuteExW \"runas\"\n");
  const HelperRun direct = client(L"enable --verbose --direct Tool");
  EXPECT_EQ(direct.exit_code, 0u);
  EXPECT_EQ(direct.standard_error, "tarnwick-client: starting " + helper + " with CreateProcessW\n" +
                                       "tarnwick-client: starting " + helper + " with CreateProcessW\n");
}

TEST_F(ClientExe, CleanAnswersTheBytesRemovedFromTheWindowsTemp) {
  const std::wstring temp = windows_temp();
  ASSERT_EQ(client(L"clean --json").exit_code, 0u);  // whatever was there before
  make_file(temp + L"\\client-a.tmp", 100);
  make_file(temp + L"\\client-b.tmp", 23);
  make_file(temp + L"\\client-sub\\deep.tmp", 77);  // in a subfolder: removed and counted too

  const HelperRun cleaned = client(L"clean --json");
  EXPECT_EQ(cleaned.exit_code, 0u);
  EXPECT_EQ(cleaned.standard_error, "");
  EXPECT_EQ(cleaned.standard_output, "{\"removed_bytes\":200}\n");
  EXPECT_EQ(entries_under(temp), std::vector<std::wstring>{});

  make_file(temp + L"\\client-c.tmp", 1536);
  EXPECT_EQ(client(L"clean").standard_output, "Freed 1.5 KB\n");
}

TEST_F(ClientExe, AMissingHelperIsReportedWithThePathTried) {
  const std::wstring missing = exe_beside_tests(L"no-such-helper.exe");
  const HelperRun run = client(L"--helper=\"" + missing + L"\" list");
  EXPECT_EQ(run.exit_code, 5u);
  EXPECT_EQ(run.standard_output, "");
  const std::string prefix =
      "tarnwick-client: the helper could not be started: " + std::string(missing.begin(), missing.end()) + ": ";
  EXPECT_EQ(run.standard_error.substr(0, prefix.size()), prefix);
  EXPECT_NE(run.standard_error.find(" (os error 2)\n"), std::string::npos) << run.standard_error;

  const HelperRun json = client(L"--json --helper \"" + missing + L"\" clean");
  EXPECT_EQ(json.exit_code, 5u);
  EXPECT_EQ(json.standard_output.substr(0, 48), R"({"error":{"kind":"launch-failed","message":"the )");
}

TEST_F(ClientExe, AHelperThatExitsWithoutWritingGivesNoUsableResponse) {
  const std::wstring stand_in = exe_beside_tests(L"helper-stand-in.exe");
  for (const std::wstring& start : {L""s, L"--direct "s}) {
    const HelperRun run = client(start + L"--helper \"" + stand_in + L"\" clean");
    EXPECT_EQ(run.exit_code, 7u);
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(run.standard_error,
              "tarnwick-client: the helper gave no usable response (exit status 0): the response file is empty\n");
  }
}

TEST_F(ClientExe, HelpVersionTimeoutAndUsageErrors) {
  const HelperRun none = run_program(exe_beside_tests(L"tarnwick-client.exe"), L"");
  EXPECT_EQ(none.exit_code, 2u);
  EXPECT_EQ(none.standard_output, "");
  EXPECT_EQ(none.standard_error.substr(0, 36), "usage: tarnwick-client [options] lis");
  for (const wchar_t* help : {L"--help", L"help", L"/?", L"-h", L"-?", L"/HELP"}) {
    const HelperRun run = client(help);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.standard_output.substr(0, 36), "usage: tarnwick-client [options] lis");
    EXPECT_EQ(run.standard_error, "");
  }
  const HelperRun version = client(L"--version");
  EXPECT_EQ(version.exit_code, 0u);
  EXPECT_EQ(version.standard_output.substr(0, 16), "tarnwick-client ");

  const HelperRun timeout = client(L"--timeout=30 list --json");
  EXPECT_EQ(timeout.exit_code, 0u) << timeout.standard_error;
  const HelperRun list_help = client(L"LIST --Help");
  EXPECT_EQ(list_help.exit_code, 0u);
  EXPECT_EQ(list_help.standard_output.substr(0, 38), "usage: tarnwick-client [options] list\n");
  const HelperRun relative = client(L"--helper tarnwick-helper.exe list");
  EXPECT_EQ(relative.exit_code, 2u);
  EXPECT_TRUE(relative.standard_error.starts_with("tarnwick-client: usage error: --helper needs a full path"))
      << relative.standard_error;
  const HelperRun bad = client(L"list --timeout=0 --json");
  EXPECT_EQ(bad.exit_code, 2u);
  EXPECT_EQ(bad.standard_output,
            R"({"error":{"kind":"usage","message":"usage error: --timeout needs whole seconds from 1 to 86400"}})"
            "\n");
}

}  // namespace
}  // namespace tarnwick::test

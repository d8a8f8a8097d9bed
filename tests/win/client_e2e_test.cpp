// tarnwick-client.exe end to end: the real helper beside it, started through
// ShellExecuteExW "runas" (which Wine runs like "open"), on the test prefix's
// machine-wide Run and StartupApproved keys and its Windows Temp folder.

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

TEST_F(ClientExe, ANameNotListedExactlyIsRefusedWithStatusOne) {
  const HelperRun refused = client(L"disable tool");
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_EQ(refused.standard_output, "");
  EXPECT_EQ(refused.standard_error,
            "tarnwick-client: the helper refused the request: unknown HKLM startup entry: tool\n");
  EXPECT_FALSE(approved_key_exists());
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

TEST_F(ClientExe, AMissingHelperIsReportedAsNotStarted) {
  const HelperRun run = client(L"--helper \"" + exe_beside_tests(L"no-such-helper.exe") + L"\" list");
  EXPECT_EQ(run.exit_code, 3u);
  EXPECT_EQ(run.standard_output, "");
  const std::string prefix = "tarnwick-client: the helper could not be started: cannot start the helper: ";
  EXPECT_EQ(run.standard_error.substr(0, prefix.size()), prefix);
  EXPECT_NE(run.standard_error.find(" (os error 2)\n"), std::string::npos) << run.standard_error;
}

TEST_F(ClientExe, AHelperThatExitsWithoutWritingGivesNoUsableResponse) {
  const std::wstring stand_in = exe_beside_tests(L"helper-stand-in.exe");
  for (const std::wstring& start : {L""s, L"--direct "s}) {
    const HelperRun run = client(start + L"--helper \"" + stand_in + L"\" list");
    EXPECT_EQ(run.exit_code, 3u);
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(run.standard_error,
              "tarnwick-client: the helper gave no usable response (exit status 0): the response file is empty\n");
  }
}

TEST_F(ClientExe, UsageErrorsAndHelp) {
  const HelperRun none = client(L"");
  EXPECT_EQ(none.exit_code, 2u);
  EXPECT_EQ(none.standard_error, "tarnwick-client: usage error: no command given\nTry 'tarnwick-client --help'.\n");
  const HelperRun help = client(L"--help");
  EXPECT_EQ(help.exit_code, 0u);
  EXPECT_EQ(help.standard_output.substr(0, 36), "usage: tarnwick-client [options] lis");
}

}  // namespace
}  // namespace tarnwick::test

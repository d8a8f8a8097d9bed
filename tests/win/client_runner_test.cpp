// WinHelperRunner in this process, with a stand-in for the helper that
// answers as each test tells it: the per-run folder, the empty response file
// the helper is given, every way a run can end, and the clean-up after it.

#include <gtest/gtest.h>

#include <regex>

#include "client/client.hpp"
#include "client/helper_runner_win.hpp"
#include "win/support/helper_process.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "win/support/run_folders.hpp"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;
using client::ErrorKind;
using client::HelperExit;
using client::LaunchOptions;
using client::WinHelperRunner;

constexpr const wchar_t* kStandInVariables[] = {L"TARNWICK_STAND_IN_REPORT", L"TARNWICK_STAND_IN_SLEEP_MS",
                                                L"TARNWICK_STAND_IN_RESPONSE", L"TARNWICK_STAND_IN_EXIT"};

// The stand-in sits in the build folder, which the user owns: under Wine every
// file is the user's. The refusal itself has tests of its own.
constexpr bool kAllowReplaceable = true;

class ClientRunner : public ::testing::TestWithParam<bool> {  // elevate (runas) or start directly
 protected:
  void SetUp() override {
    folders_before_ = run_folders();
    report_ = make_temp_dir() + L"\\report.txt";
    set(L"TARNWICK_STAND_IN_REPORT", report_);
  }
  void TearDown() override {
    for (const wchar_t* name : kStandInVariables) ::SetEnvironmentVariableW(name, nullptr);
    EXPECT_EQ(run_folders(), folders_before_) << "a per-run folder was left behind";
  }

  static void set(const wchar_t* name, const std::wstring& value) { ::SetEnvironmentVariableW(name, value.c_str()); }

  // A request that needs admin rights: elevated through "runas" or started
  // directly, as the parameter says.
  client::Outcome<HelperExit> run_stand_in(std::string_view request_hex, std::chrono::milliseconds timeout = 60s) {
    WinHelperRunner runner(
        LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), timeout, GetParam(), kAllowReplaceable});
    return runner.run(request_hex, client::Rights::Admin);
  }

  std::wstring report_;

 private:
  std::vector<std::wstring> folders_before_;
};

TEST_P(ClientRunner, TheHelperGetsTheRequestAndAnEmptyResponseFileInAFreshUnpredictableFolder) {
  const auto first = run_stand_in("7b7d");
  ASSERT_TRUE(first.ok()) << first.error().message;
  const std::string report = read_file_bytes(report_);
  const auto second = run_stand_in("7b7d");
  ASSERT_TRUE(second.ok());
  const std::string second_report = read_file_bytes(report_);

  // the request, the response path, then what the helper found there
  const std::regex shape(
      "7b7d\n(.*)\\\\(tarnwick-run-[0-9a-f]{32})\\\\response\\.json\nresponse file: 0 bytes\ntoken: .*\n");
  std::smatch first_match;
  std::smatch second_match;
  ASSERT_TRUE(std::regex_match(report, first_match, shape)) << report;
  ASSERT_TRUE(std::regex_match(second_report, second_match, shape)) << second_report;
  const std::wstring base = run_base_of_this_process();
  EXPECT_EQ(first_match[1].str(), std::string(base.begin(), base.end()));  // ASCII in the test prefix
  EXPECT_NE(first_match[2].str(), second_match[2].str());
}

TEST_P(ClientRunner, HandsBackTheExitStatusAndExactlyWhatTheHelperWrote) {
  struct Case {
    std::wstring response;
    std::wstring exit_status;
    HelperExit expected;
  };
  const Case cases[] = {
      {L"{\"status\":\"ok\",\"data\":[]}", L"0", {0, R"({"status":"ok","data":[]})"}},
      {L"{\"status\":\"err\",\"error\":\"caf\u00e9\"}", L"1", {1, "{\"status\":\"err\",\"error\":\"caf\xc3\xa9\"}"}},
      {L"", L"101", {101, ""}},
      {L"", L"3221225477", {3221225477u, ""}},  // 0xC0000005, a crash
  };
  for (const auto& c : cases) {
    if (c.response.empty()) {
      ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_RESPONSE", nullptr);
    } else {
      set(L"TARNWICK_STAND_IN_RESPONSE", c.response);
    }
    set(L"TARNWICK_STAND_IN_EXIT", c.exit_status);
    const auto exit = run_stand_in("7b7d");
    ASSERT_TRUE(exit.ok()) << exit.error().message;
    EXPECT_EQ(exit.value().exit_status, c.expected.exit_status);
    EXPECT_EQ(exit.value().response, c.expected.response);
  }
}

TEST_P(ClientRunner, AHelperStillRunningAtTheLimitIsStillRunningAndKeepsItsFolderUntilItEnds) {
  set(L"TARNWICK_STAND_IN_SLEEP_MS", L"2000");
  set(L"TARNWICK_STAND_IN_RESPONSE", L"{\"status\":\"ok\",\"data\":[]}");
  const std::vector<std::wstring> before = run_folders();
  WinHelperRunner runner(LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), 200ms, GetParam(), kAllowReplaceable});
  const auto exit = runner.run("7b7d", client::Rights::Admin);
  ASSERT_FALSE(exit.ok());
  EXPECT_EQ(exit.error().kind, ErrorKind::StillRunning);
  ASSERT_NE(exit.error().process_id, 0u);
  EXPECT_EQ(exit.error().message, "still running after 200 ms (process " + std::to_string(exit.error().process_id) +
                                      ") and may still change things");
  // the process named is the helper, still at work, and its folder is still there for its answer
  const win::UniqueKernelHandle process(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, exit.error().process_id));
  ASSERT_TRUE(process);
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(run_folders().size(), before.size() + 1);

  EXPECT_FALSE(runner.wait_for_still_running(0ms));
  EXPECT_TRUE(runner.wait_for_still_running(10s));
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(run_folders(), before);  // removed once it ended (and checked again in TearDown)
}

TEST_P(ClientRunner, AMissingHelperIsALaunchFailureNamingThePathTried) {
  const std::wstring missing = exe_beside_tests(L"no-such-helper.exe");
  WinHelperRunner runner(LaunchOptions{missing, 60s, GetParam(), kAllowReplaceable});
  const auto exit = runner.run("7b7d", client::Rights::Admin);
  ASSERT_FALSE(exit.ok());
  EXPECT_EQ(exit.error().kind, ErrorKind::LaunchFailed);
  EXPECT_EQ(exit.error().os_error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  const std::string path(missing.begin(), missing.end());  // ASCII in the test prefix
  EXPECT_EQ(exit.error().message.substr(0, path.size() + 2), path + ": ") << exit.error().message;
  EXPECT_NE(exit.error().message.find(" (os error 2)"), std::string::npos) << exit.error().message;
  EXPECT_FALSE(exit.error().exit_status.has_value());
}

TEST_P(ClientRunner, ARequestTooLongForACommandLineIsNotSent) {
  WinHelperRunner runner(LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), 60s, GetParam(), kAllowReplaceable});
  client::Client calls(runner);
  const auto done = calls.set_startup_enabled(std::string(20000, 'n'), false);
  ASSERT_FALSE(done.ok());
  EXPECT_EQ(done.error().kind, ErrorKind::InvalidRequest);
  EXPECT_FALSE(file_exists(report_)) << "the stand-in was started";
}

TEST_P(ClientRunner, TypedCallsReadTheHelpersAnswerStrictly) {
  WinHelperRunner runner(LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), 60s, GetParam(), kAllowReplaceable});
  client::Client calls(runner);
  set(L"TARNWICK_STAND_IN_RESPONSE", L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":4096}}");
  const auto removed = calls.clean_system();
  ASSERT_TRUE(removed.ok()) << removed.error().message;
  EXPECT_EQ(removed.value(), 4096u);
  EXPECT_EQ(read_file_bytes(report_).substr(0, 72),
            "7b22616374696f6e223a7b22616374696f6e223a22636c65616e2d73797374656d227d7d");

  set(L"TARNWICK_STAND_IN_EXIT", L"1");  // "ok" with status 1
  const auto disagreeing = calls.clean_system();
  ASSERT_FALSE(disagreeing.ok());
  EXPECT_EQ(disagreeing.error(), (client::ClientError{ErrorKind::NoUsableResponse,
                                                      "the response says \"ok\" but the exit status is 1", 1u, 0}));
}

// The launch method per request, as the runner tells its observer and as the
// stand-in sees its own token: a listing never elevates; a set or a clean
// goes through "runas" unless elevating is off. (Under Wine every process
// is elevated already, so the tokens show something only on Windows, and the
// consent prompt is Windows only.)
TEST_P(ClientRunner, OnlyRequestsThatNeedAdminRightsGoThroughRunas) {
  WinHelperRunner runner(LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), 60s, GetParam(), kAllowReplaceable});
  std::vector<client::LaunchMethod> methods;
  std::wstring started;
  runner.on_launch([&](client::LaunchMethod method, const std::wstring& helper) {
    methods.push_back(method);
    started = helper;
  });
  ASSERT_TRUE(runner.run("7b7d", client::Rights::User).ok());
  const std::string user_report = read_file_bytes(report_);
  ASSERT_TRUE(runner.run("7b7d", client::Rights::Admin).ok());
  const std::string admin_report = read_file_bytes(report_);

  // A test run under Wine or on CI's Windows runner is elevated already; a
  // run by a standard user on Windows shows the prompt and the elevation.
  const bool caller_elevated = client::this_process_is_elevated();
  const bool elevate = GetParam();
  const auto admin_method = elevate ? client::LaunchMethod::ShellRunas : client::LaunchMethod::Direct;
  EXPECT_EQ(methods, (std::vector<client::LaunchMethod>{client::LaunchMethod::Direct, admin_method}));
  EXPECT_EQ(started, exe_beside_tests(L"helper-stand-in.exe"));
  const auto token = [](bool elevated) { return elevated ? "token: elevated\n" : "token: not elevated\n"; };
  EXPECT_NE(user_report.find(token(caller_elevated)), std::string::npos) << user_report;
  EXPECT_NE(admin_report.find(token(caller_elevated || elevate)), std::string::npos) << admin_report;
}

INSTANTIATE_TEST_SUITE_P(Start, ClientRunner, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Elevated" : "Direct"; });

}  // namespace
}  // namespace tarnwick::test

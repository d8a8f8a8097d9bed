// WinHelperRunner in this process, with a stand-in for the helper that
// answers as each test tells it: the per-run folder, the empty response file
// the helper is given, every way a run can end, and the clean-up after it.

#include <gtest/gtest.h>

#include <regex>

#include "client/client.hpp"
#include "client/helper_runner_win.hpp"
#include "win/support/helper_process.hpp"
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

  client::Outcome<HelperExit> run_stand_in(std::string_view request_hex, std::chrono::milliseconds timeout = 60s) {
    WinHelperRunner runner(
        LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), timeout, GetParam(), kAllowReplaceable});
    return runner.run(request_hex);
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
  const std::regex shape("7b7d\n(.*)\\\\(tarnwick-run-[0-9a-f]{32})\\\\response\\.json\nresponse file: 0 bytes\n");
  std::smatch first_match;
  std::smatch second_match;
  ASSERT_TRUE(std::regex_match(report, first_match, shape)) << report;
  ASSERT_TRUE(std::regex_match(second_report, second_match, shape)) << second_report;
  const std::wstring base = local_app_data();
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

TEST_P(ClientRunner, AHelperStillRunningAtTheLimitTimesOutAndItsFolderIsRemovedAnyway) {
  set(L"TARNWICK_STAND_IN_SLEEP_MS", L"2000");
  const auto exit = run_stand_in("7b7d", 200ms);
  ASSERT_FALSE(exit.ok());
  EXPECT_EQ(exit.error().kind, ErrorKind::StillRunning);
  EXPECT_EQ(exit.error().message, "200 ms");
  ::Sleep(2500);  // the stand-in ends on its own; nothing of the run is left (checked in TearDown)
}

TEST_P(ClientRunner, AMissingHelperIsALaunchFailureWithTheOsError) {
  WinHelperRunner runner(LaunchOptions{exe_beside_tests(L"no-such-helper.exe"), 60s, GetParam(), kAllowReplaceable});
  const auto exit = runner.run("7b7d");
  ASSERT_FALSE(exit.ok());
  EXPECT_EQ(exit.error().kind, ErrorKind::LaunchFailed);
  EXPECT_EQ(exit.error().os_error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
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

INSTANTIATE_TEST_SUITE_P(Start, ClientRunner, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Elevated" : "Direct"; });

}  // namespace
}  // namespace tarnwick::test

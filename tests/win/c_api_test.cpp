// tarnwick-client.dll through its C header, called as an app calls it: with
// the stand-in answering in place of the helper (every kind of end reaches
// the app as its status, message and details), misuse refused before anything
// runs, and the real helper found beside the DLL by default.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick_client.h"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/startup_keys.hpp"

namespace tarnwick::test {
namespace {

constexpr const wchar_t* kStandInVariables[] = {L"TARNWICK_STAND_IN_SLEEP_MS", L"TARNWICK_STAND_IN_RESPONSE",
                                                L"TARNWICK_STAND_IN_EXIT"};

std::string utf8(const std::wstring& text) {
  std::string out(text.size() * 4, '\0');
  out.resize(
      static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                                     static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

// A client for the stand-in (or, with no path, the default helper).
class CApi : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const wchar_t* name : kStandInVariables) ::SetEnvironmentVariableW(name, nullptr);
    tarnwick_client_destroy(client_);
  }

  void make(const std::wstring& helper, std::uint32_t timeout_ms = 0) {
    path_ = utf8(helper);
    tarnwick_options options{};
    options.struct_size = sizeof options;
    options.helper_path = path_.empty() ? nullptr : path_.c_str();
    options.timeout_ms = timeout_ms;
    options.allow_replaceable_helper = 1;  // under Wine the build folder is the user's
    ASSERT_EQ(tarnwick_client_create(&options, &client_), TARNWICK_OK);
    ASSERT_NE(client_, nullptr);
  }
  void make_stand_in(std::uint32_t timeout_ms = 0) { make(exe_beside_tests(L"helper-stand-in.exe"), timeout_ms); }

  static void answer(const std::wstring& response, const std::wstring& exit_status) {
    ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_RESPONSE", response.empty() ? nullptr : response.c_str());
    ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_EXIT", exit_status.c_str());
  }

  tarnwick_client* client_ = nullptr;
  std::string path_;
};

TEST_F(CApi, EveryEndOfARunReachesTheAppAsItsStatusMessageAndDetails) {
  struct Case {
    const wchar_t* response;
    const wchar_t* exit_status;
    std::uint32_t timeout_ms;
    tarnwick_status status;
    const char* message;
    int has_exit;  // 1: the helper's exit status is known
    std::uint32_t exit;
  };
  const Case cases[] = {
      {L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":4096}}", L"0", 0, TARNWICK_OK, "", 0, 0},
      {L"{\"status\":\"err\",\"error\":\"Access is denied. (os error 5)\"}", L"1", 0, TARNWICK_ACTION_FAILED,
       "the action failed: Access is denied. (os error 5)", 1, 1},
      {L"{\"status\":\"err\",\"error\":\"bad request json: x\"}", L"1", 0, TARNWICK_REFUSED,
       "the helper refused the request: bad request json: x", 1, 1},
      {L"{\"status\":\"err\",\"error\":\"unknown HKLM startup entry: X\"}", L"1", 0, TARNWICK_NOT_FOUND,
       "unknown HKLM startup entry: X", 1, 1},
      {L"", L"101", 0, TARNWICK_INTERNAL_ERROR, "the helper stopped on an internal error (exit status 101)", 1, 101},
      {L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":-1}}", L"0", 0, TARNWICK_NO_USABLE_RESPONSE, nullptr, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf8(c.response) + " / " + utf8(c.exit_status));
    tarnwick_client_destroy(client_);
    make_stand_in(c.timeout_ms);
    answer(c.response, c.exit_status);
    std::uint64_t freed = 99;
    EXPECT_EQ(tarnwick_clean_system(client_, &freed), c.status);
    EXPECT_EQ(freed, c.status == TARNWICK_OK ? 4096u : 0u);
    if (c.message != nullptr) {
      EXPECT_STREQ(tarnwick_last_error_message(client_), c.message);
    } else {
      EXPECT_STRNE(tarnwick_last_error_message(client_), "");
    }
    std::uint32_t exit = 12345;
    EXPECT_EQ(tarnwick_last_exit_status(client_, &exit), c.has_exit);
    if (c.has_exit) {
      EXPECT_EQ(exit, c.exit);
    }
    EXPECT_EQ(tarnwick_last_os_error(client_), 0u);
  }
}

TEST_F(CApi, AListingComesAsOneBlockOfEntriesWithTheirLengths) {
  make_stand_in();
  answer(
      L"{\"status\":\"ok\",\"data\":[{\"command\":\"C:\\\\a.exe\",\"enabled\":true,\"name\":\"Tool\",\"scope\":"
      L"\"hklm-run\"},{\"command\":\"\",\"enabled\":false,\"name\":\"caf\u00e9\",\"scope\":\"hklm-run\"}]}",
      L"0");
  tarnwick_startup_entry* entries = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(tarnwick_list_startup_entries(client_, &entries, &count), TARNWICK_OK)
      << tarnwick_last_error_message(client_);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(std::string(entries[0].name, entries[0].name_length), "Tool");
  EXPECT_EQ(std::string(entries[0].command, entries[0].command_length), "C:\\a.exe");
  EXPECT_EQ(entries[0].enabled, 1);
  EXPECT_STREQ(entries[1].name, "caf\xc3\xa9");
  EXPECT_EQ(entries[1].name_length, 5u);
  EXPECT_STREQ(entries[1].command, "");
  EXPECT_EQ(entries[1].enabled, 0);
  tarnwick_free_startup_entries(entries, count);

  answer(L"{\"status\":\"ok\",\"data\":[]}", L"0");
  entries = reinterpret_cast<tarnwick_startup_entry*>(&count);  // overwritten by the call
  ASSERT_EQ(tarnwick_list_startup_entries(client_, &entries, &count), TARNWICK_OK);
  EXPECT_EQ(entries, nullptr);
  EXPECT_EQ(count, 0u);
  tarnwick_free_startup_entries(entries, count);
}

TEST_F(CApi, AHelperStillRunningAtTheLimitIsStillRunningAndAMissingOneALaunchFailure) {
  make_stand_in(200);
  ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_SLEEP_MS", L"2000");
  std::uint64_t freed = 0;
  EXPECT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_STILL_RUNNING);
  const std::string still = tarnwick_last_error_message(client_);
  EXPECT_EQ(still.rfind("the helper is still running after 200 ms (process ", 0), 0u) << still;
  ::Sleep(2500);  // the stand-in ends on its own

  tarnwick_client_destroy(client_);
  make(exe_beside_tests(L"no-such-helper.exe"));
  EXPECT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_LAUNCH_FAILED);
  EXPECT_EQ(tarnwick_last_os_error(client_), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(tarnwick_last_exit_status(client_, nullptr), 0);
  // The next call starts with no error left over.
  tarnwick_client_destroy(client_);
  make_stand_in();
  answer(L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":1}}", L"0");
  EXPECT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_OK);
  EXPECT_STREQ(tarnwick_last_error_message(client_), "");
}

TEST_F(CApi, MisuseIsRefusedBeforeAnythingRuns) {
  tarnwick_client* none = reinterpret_cast<tarnwick_client*>(&none);
  tarnwick_options options{};
  options.struct_size = sizeof options - 1;  // a size this DLL does not know
  EXPECT_EQ(tarnwick_client_create(&options, &none), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(none, nullptr);
  options.struct_size = sizeof options;
  const char bad_path[] = "C:\\\xff.exe";
  options.helper_path = bad_path;
  EXPECT_EQ(tarnwick_client_create(&options, &none), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_client_create(nullptr, nullptr), TARNWICK_INVALID_ARGUMENT);

  make_stand_in();
  ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_EXIT", L"7");  // a run would show as no usable response
  std::uint64_t freed = 0;
  std::size_t count = 0;
  tarnwick_startup_entry* entries = nullptr;
  const char bad_name[] = "T\xc3";
  EXPECT_EQ(tarnwick_set_startup_enabled(client_, bad_name, 2, 0), TARNWICK_INVALID_ARGUMENT);
  EXPECT_STREQ(tarnwick_last_error_message(client_), "the name is not valid UTF-8");
  EXPECT_EQ(tarnwick_set_startup_enabled(client_, nullptr, 0, 0), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_list_startup_entries(client_, nullptr, &count), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_list_startup_entries(client_, &entries, nullptr), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_clean_system(client_, nullptr), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_clean_system(nullptr, &freed), TARNWICK_INVALID_ARGUMENT);
  EXPECT_STREQ(tarnwick_last_error_message(nullptr), "");
  EXPECT_EQ(tarnwick_last_exit_status(client_, nullptr), 0) << "the stand-in was started";
}

TEST_F(CApi, WithNoPathTheHelperBesideTheDllAnswers) {
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();
  reset_to_alpha_and_tool();
  tarnwick_options options{};
  options.struct_size = sizeof options;
  options.allow_replaceable_helper = 1;  // under Wine the build folder is the user's
  ASSERT_EQ(tarnwick_client_create(&options, &client_), TARNWICK_OK);
  const char name[] = "Tool";
  ASSERT_EQ(tarnwick_set_startup_enabled(client_, name, 4, 0), TARNWICK_OK) << tarnwick_last_error_message(client_);
  tarnwick_startup_entry* entries = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(tarnwick_list_startup_entries(client_, &entries, &count), TARNWICK_OK)
      << tarnwick_last_error_message(client_);
  ASSERT_EQ(count, 2u);
  EXPECT_STREQ(entries[1].name, "Tool");
  EXPECT_EQ(entries[1].enabled, 0);
  tarnwick_free_startup_entries(entries, count);
  reset_startup_keys();
}

}  // namespace
}  // namespace tarnwick::test

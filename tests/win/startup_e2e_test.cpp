// The two startup actions through the helper exe, as the desktop app runs
// them, on the test prefix's machine-wide Run and StartupApproved keys.

#include <gtest/gtest.h>

#include "platform/win/os_error_text_win.hpp"
#include "support/hex.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/startup_keys.hpp"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

struct Answer {
  DWORD exit_code = 0;
  std::string response;
};

class StartupE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    TARNWICK_SKIP_UNLESS_MACHINE_STATE();
    reset_to_alpha_and_tool();
  }

  Answer helper(const std::string& request_json) {
    const std::wstring response = make_temp_dir() + L"\\response.json";
    const HelperRun run = run_helper_exe(widen_ascii(hex_of(request_json)) + L" \"" + response + L"\"");
    EXPECT_EQ(run.standard_error, "");
    return {run.exit_code, read_file_bytes(response)};
  }

  Answer list() { return helper(R"({"action":{"action":"startup-hklm-list"}})"); }

  Answer set(const std::string& name, bool enabled) {
    return helper(R"({"action":{"action":"startup-hklm-set","args":{"name":")" + name + R"(","enabled":)" +
                  (enabled ? "true" : "false") + "}}}");
  }

  static std::string listing(bool tool_enabled) {
    return R"({"status":"ok","data":[)"
           R"({"command":"%ProgramFiles%\\a.exe","enabled":true,"name":"Alpha","scope":"hklm-run"},)"
           R"({"command":"C:\\Tools\\tool.exe /quiet","enabled":)" +
           std::string(tool_enabled ? "true" : "false") + R"(,"name":"Tool","scope":"hklm-run"}]})";
  }
};

TEST_F(StartupE2e, ListsTheMachineRunKeyAllEnabledWithoutStartupApproved) {
  const Answer answer = list();
  EXPECT_EQ(answer.exit_code, 0u);
  EXPECT_EQ(answer.response, listing(true));
}

TEST_F(StartupE2e, DisableThenEnableWritesTheTwelveByteStateAndTheListingFollows) {
  const Answer disabled = set("Tool", false);
  EXPECT_EQ(disabled.exit_code, 0u);
  EXPECT_EQ(disabled.response, R"({"status":"ok","data":{"enabled":false,"name":"Tool"}})");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x03"s + std::string(11, '\0')}));
  EXPECT_EQ(list().response, listing(false));

  const Answer enabled = set("Tool", true);
  EXPECT_EQ(enabled.exit_code, 0u);
  EXPECT_EQ(enabled.response, R"({"status":"ok","data":{"enabled":true,"name":"Tool"}})");
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x02"s + std::string(11, '\0')}));
  EXPECT_EQ(list().response, listing(true));
}

TEST_F(StartupE2e, NameNotListedExactlyIsRefusedAndNothingIsWritten) {
  for (const std::string name : {"tool", "TOOL", " Tool", "Tool ", "Missing"}) {
    const Answer answer = set(name, false);
    EXPECT_EQ(answer.exit_code, 1u) << name;
    EXPECT_EQ(answer.response, R"({"status":"err","error":"unknown HKLM startup entry: )" + name + R"("})");
    EXPECT_FALSE(approved_key_exists()) << name;
  }
}

// The registry layer hands up the bare code; the exe's one describer turns it
// into the system's text at the top.
TEST_F(StartupE2e, ARegistryFailureAnswersTheSystemsTextForItsCode) {
  delete_run_key();
  const Answer answer = list();
  EXPECT_EQ(answer.exit_code, 1u);
  EXPECT_EQ(answer.response, R"({"status":"err","error":")" + win::os_error_text(ERROR_FILE_NOT_FOUND) + R"("})");
  EXPECT_TRUE(answer.response.ends_with(R"j( (os error 2)"})j")) << answer.response;
}

}  // namespace
}  // namespace tarnwick::test

// tarnwick-client.dll through its C header, called as an app calls it: with
// the stand-in answering in place of the helper (every kind of end reaches
// the app as its status, message and details), misuse refused before anything
// runs, and the real helper found beside the DLL by default.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tarnwick_client.h"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/startup_keys.hpp"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

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
      {L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":4096}}", L"0", 0, TARNWICK_OK, "", 1, 0},
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

// An app built with this header, an older one or a later one: struct_size
// says which, and the DLL reads no further than it. A later structure is
// taken when what this DLL does not know of it is zero (at its defaults).
TEST_F(CApi, OptionsOfEveryShippedSizeAndLaterOnesWithAZeroTailAreTakenOthersAreRefusedWithWhy) {
  const std::string stand_in = utf8(exe_beside_tests(L"helper-stand-in.exe"));
  struct Case {
    const char* what;
    std::uint32_t struct_size;
    std::size_t nonzero_byte;  // 0: none; else this byte of the buffer is set
    tarnwick_status status;
    const char* message;  // the start of tarnwick_last_create_error()
  };
  constexpr std::size_t kLater = TARNWICK_OPTIONS_SIZE_V1 + 24;
  const Case cases[] = {
      {"the first size, garbage after it", TARNWICK_OPTIONS_SIZE_V1, TARNWICK_OPTIONS_SIZE_V1, TARNWICK_OK, ""},
      {"a later size, its tail zero", kLater, 0, TARNWICK_OK, ""},
      {"a later size, one byte past the known members set", kLater, TARNWICK_OPTIONS_SIZE_V1, TARNWICK_INVALID_ARGUMENT,
       "tarnwick_options: struct_size 64 is from a later version, and a member this DLL ("},
      {"a later size, its last byte set", kLater, kLater - 1, TARNWICK_INVALID_ARGUMENT,
       "tarnwick_options: struct_size 64 is from a later version"},
      {"zero", 0, 0, TARNWICK_INVALID_ARGUMENT,
       "tarnwick_options: struct_size 0 is not a size of the structure (set it to sizeof(tarnwick_options))"},
      {"smaller than any version", TARNWICK_OPTIONS_SIZE_V1 - 1, 0, TARNWICK_INVALID_ARGUMENT,
       "tarnwick_options: struct_size 39 is not a size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    alignas(tarnwick_options) std::array<unsigned char, 256> buffer{};
    tarnwick_options known{};
    known.struct_size = c.struct_size;
    known.helper_path = stand_in.c_str();
    known.allow_replaceable_helper = 1;
    std::memcpy(buffer.data(), &known, sizeof known);
    if (c.nonzero_byte != 0) buffer[c.nonzero_byte] = 0x5a;
    tarnwick_client* client = reinterpret_cast<tarnwick_client*>(&client);
    ASSERT_EQ(tarnwick_client_create(reinterpret_cast<const tarnwick_options*>(buffer.data()), &client), c.status);
    std::uint32_t os_error = 99;
    const std::string why = tarnwick_last_create_error(&os_error);
    EXPECT_EQ(why.rfind(c.message, 0), 0u) << why;
    EXPECT_EQ(os_error, 0u);
    if (c.status != TARNWICK_OK) {
      EXPECT_EQ(client, nullptr);
      continue;
    }
    EXPECT_EQ(why, "");
    // The members the DLL knows were read: the stand-in is the helper.
    answer(L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":7}}", L"0");
    std::uint64_t freed = 0;
    EXPECT_EQ(tarnwick_clean_system(client, &freed), TARNWICK_OK) << tarnwick_last_error_message(client);
    EXPECT_EQ(freed, 7u);
    tarnwick_client_destroy(client);
  }
}

TEST_F(CApi, AFailedCreateSaysWhyOnItsOwnThreadUntilTheNextCreate) {
  tarnwick_options options{};
  options.struct_size = sizeof options;
  const char bad_path[] = "C:\\\xff.exe";
  options.helper_path = bad_path;
  tarnwick_client* client = nullptr;
  ASSERT_EQ(tarnwick_client_create(&options, &client), TARNWICK_INVALID_ARGUMENT);
  EXPECT_STREQ(tarnwick_last_create_error(nullptr), "tarnwick_options: helper_path is not valid UTF-8");
  std::string elsewhere = "unset";
  std::thread([&elsewhere] { elsewhere = tarnwick_last_create_error(nullptr); }).join();
  EXPECT_EQ(elsewhere, "") << "another thread's create is its own";
  EXPECT_EQ(tarnwick_client_create(nullptr, nullptr), TARNWICK_INVALID_ARGUMENT);
  EXPECT_STREQ(tarnwick_last_create_error(nullptr), "client must not be NULL");
  options.helper_path = "";
  EXPECT_EQ(tarnwick_client_create(&options, &client), TARNWICK_INVALID_ARGUMENT);
  EXPECT_STREQ(tarnwick_last_create_error(nullptr), "tarnwick_options: helper_path is empty");
  make_stand_in();
  EXPECT_STREQ(tarnwick_last_create_error(nullptr), "") << "a create that succeeds clears it";
}

TEST_F(CApi, TheVersionTextNumberAndHeaderAgree) {
  const std::string text = tarnwick_version();
  const std::string header = std::to_string(TARNWICK_VERSION_MAJOR) + "." + std::to_string(TARNWICK_VERSION_MINOR) +
                             "." + std::to_string(TARNWICK_VERSION_PATCH) + ".";
  ASSERT_EQ(text.rfind(header, 0), 0u) << text;
  const std::string build = text.substr(header.size());
  EXPECT_FALSE(build.empty());
  EXPECT_EQ(build.find_first_not_of("0123456789"), std::string::npos) << text;
  EXPECT_EQ(tarnwick_version_number(), static_cast<std::uint32_t>(TARNWICK_VERSION_NUMBER));
  static_assert(TARNWICK_MAKE_VERSION(1, 2, 3) == 1002003);
  static_assert(TARNWICK_MAKE_VERSION(0, 999, 999) < TARNWICK_MAKE_VERSION(1, 0, 0));
}

TEST_F(CApi, AListingIsReadThroughItsFunctionsScopeIncluded) {
  make_stand_in();
  answer(
      L"{\"status\":\"ok\",\"data\":[{\"command\":\"C:\\\\a.exe\",\"enabled\":true,\"name\":\"Tool\",\"scope\":"
      L"\"hklm-run\"},{\"command\":\"\",\"enabled\":false,\"name\":\"caf\u00e9\\u0000x\",\"scope\":\"hklm-run\"}]}",
      L"0");
  tarnwick_startup_list* list = reinterpret_cast<tarnwick_startup_list*>(&list);
  ASSERT_EQ(tarnwick_list_startup(client_, &list), TARNWICK_OK) << tarnwick_last_error_message(client_);
  std::uint32_t exit = 99;
  EXPECT_EQ(tarnwick_last_exit_status(client_, &exit), 1);
  EXPECT_EQ(exit, 0u);
  ASSERT_EQ(tarnwick_startup_list_count(list), 2u);
  struct Expected {
    std::string name, command;
    std::int32_t enabled;
  };
  const Expected expected[] = {{"Tool", "C:\\a.exe", 1}, {"caf\xc3\xa9\0x"s, "", 0}};
  for (std::size_t i = 0; i < 2; ++i) {
    std::size_t length = 99;
    const char* name = tarnwick_startup_list_name(list, i, &length);
    EXPECT_EQ(std::string(name, length), expected[i].name);
    EXPECT_EQ(name[length], '\0');
    const char* command = tarnwick_startup_list_command(list, i, &length);
    EXPECT_EQ(std::string(command, length), expected[i].command);
    EXPECT_STREQ(tarnwick_startup_list_scope(list, i, &length), "hklm-run");
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(tarnwick_startup_list_enabled(list, i), expected[i].enabled);
  }
  std::size_t length = 99;
  EXPECT_EQ(tarnwick_startup_list_name(list, 2, &length), nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(tarnwick_startup_list_scope(list, 2, nullptr), nullptr);
  EXPECT_EQ(tarnwick_startup_list_enabled(list, 2), -1);
  EXPECT_EQ(tarnwick_startup_list_count(nullptr), 0u);
  EXPECT_EQ(tarnwick_startup_list_command(nullptr, 0, &length), nullptr);

  // Names in any case, by the DLL's one rule.
  struct Find {
    std::string typed;
    tarnwick_status status;
    std::size_t index;
  };
  const Find finds[] = {{"Tool", TARNWICK_OK, 0},
                        {"tOOL", TARNWICK_OK, 0},
                        {"CAF\xc3\x89\0x"s, TARNWICK_OK, 1},
                        {"Tol", TARNWICK_NOT_FOUND, 0},
                        {"\xff", TARNWICK_NOT_FOUND, 0}};
  for (const Find& f : finds) {
    std::size_t index = 99;
    EXPECT_EQ(tarnwick_find_startup_entry(list, f.typed.data(), f.typed.size(), &index), f.status) << f.typed;
    if (f.status == TARNWICK_OK) {
      EXPECT_EQ(index, f.index) << f.typed;
    }
  }
  std::size_t index = 0;
  EXPECT_EQ(tarnwick_find_startup_entry(nullptr, "Tool", 4, &index), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_find_startup_entry(list, nullptr, 4, &index), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_find_startup_entry(list, "Tool", 4, nullptr), TARNWICK_INVALID_ARGUMENT);

  std::size_t nearest[3] = {99, 99, 99};
  ASSERT_EQ(tarnwick_nearest_startup_entries(list, "tol", 3, nearest, 3), 1u);
  EXPECT_EQ(nearest[0], 0u);
  EXPECT_EQ(tarnwick_nearest_startup_entries(list, "zzzzzzzz", 8, nearest, 3), 0u);
  EXPECT_EQ(tarnwick_nearest_startup_entries(list, "tol", 3, nearest, 0), 0u);
  tarnwick_startup_list_free(list);

  answer(L"{\"status\":\"ok\",\"data\":[]}", L"0");
  ASSERT_EQ(tarnwick_list_startup(client_, &list), TARNWICK_OK);
  EXPECT_NE(list, nullptr);
  EXPECT_EQ(tarnwick_startup_list_count(list), 0u);
  tarnwick_startup_list_free(list);
  answer(L"", L"7");
  EXPECT_EQ(tarnwick_list_startup(client_, &list), TARNWICK_NO_USABLE_RESPONSE);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(tarnwick_list_startup(client_, nullptr), TARNWICK_INVALID_ARGUMENT);
  tarnwick_startup_list_free(nullptr);
}

TEST(CApiNames, TheCaseRuleIsTheRegistrysForEveryLanguage) {
  struct Case {
    std::string a, b;
    std::int32_t same;
  };
  const Case cases[] = {
      {"Tool", "tOOL", 1},
      {"caf\xc3\xa9", "CAF\xc3\x89", 1},  // é and É
      {"\xce\xa3", "\xcf\x83", 1},        // Σ and σ
      {"stra\xc3\x9f"
       "e",
       "STRASSE", 0},  // ß has no one-unit uppercase
      {"Tool", "Tool2", 0},
      {"a\0b"s, "A\0B"s, 1},
      {"\xff", "\xff", 1},  // not UTF-8: byte for byte
      {"\xff", "\xfe", 0},
      {"", "", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tarnwick_same_startup_name(c.a.data(), c.a.size(), c.b.data(), c.b.size()), c.same)
        << c.a << " / " << c.b;
  }
  EXPECT_EQ(tarnwick_same_startup_name(nullptr, 0, "", 0), 1);
  EXPECT_EQ(tarnwick_same_startup_name(nullptr, 1, "a", 1), 0);
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

#include <gtest/gtest.h>

#include <limits>

#include "elevate/dispatch/dispatch.hpp"
#include "startup/startup_entries.hpp"
#include "support/describer.hpp"
#include "support/memory_registry.hpp"
#include "support/response_data_json.hpp"

namespace tarnwick {
namespace {

using test::data_text;
using test::MemoryRegistry;

class FakeCleaner final : public SystemCleaner {
 public:
  explicit FakeCleaner(Result<std::uint64_t, OsError> outcome) : outcome_(std::move(outcome)) {}
  Result<std::uint64_t, OsError> clean_system() override {
    ++calls;
    return outcome_;
  }
  int calls = 0;

 private:
  Result<std::uint64_t, OsError> outcome_;
};

Bytes state(bool enabled) {
  const auto bytes = approved_state_bytes(enabled);
  return Bytes(bytes.begin(), bytes.end());
}

HelperRequest set_request(std::string name, bool enabled) {
  return HelperRequest{StartupHklmSet{std::move(name), enabled}};
}

class DispatchTest : public ::testing::Test {
 protected:
  ActionResult run(const HelperRequest& request) {
    return dispatch(request, registry, cleaner, test::describe_os_error);
  }

  MemoryRegistry registry;
  FakeCleaner cleaner{std::uint64_t{0}};
};

TEST(DispatchCleanSystem, WrapsTheCountAsAnUnsignedNumber) {
  const std::uint64_t counts[] = {0, 4096, std::numeric_limits<std::uint64_t>::max()};
  for (const std::uint64_t count : counts) {
    MemoryRegistry registry;
    FakeCleaner cleaner(count);
    const ActionResult result = dispatch(HelperRequest{CleanSystem{}}, registry, cleaner, test::describe_os_error);
    ASSERT_FALSE(result.is_error());
    EXPECT_TRUE(nlohmann::json::parse(data_text(result)).at("removed_bytes").is_number_unsigned());
    EXPECT_EQ(data_text(result), "{\"removed_bytes\":" + std::to_string(count) + "}");
    EXPECT_EQ(cleaner.calls, 1);
    EXPECT_TRUE(registry.run_scopes.empty());
  }
}

TEST(DispatchCleanSystem, DescribesTheEngineErrorOnce) {
  MemoryRegistry registry;
  FakeCleaner cleaner(Err{OsError{1450}});
  const ActionResult result = dispatch(HelperRequest{CleanSystem{}}, registry, cleaner, test::describe_os_error);
  ASSERT_TRUE(result.is_error());
  EXPECT_EQ(result.error_message(), "System message 1450. (os error 1450)");
}

TEST_F(DispatchTest, ListAnswersTheEntriesInListingOrderWithTheMachineScope) {
  registry.run = {{"Zeta", "z.exe"}, {"Alpha", "C:\\a.exe \"x\""}};
  registry.approved["Zeta"] = state(false);
  const ActionResult result = run(HelperRequest{StartupHklmList{}});
  ASSERT_FALSE(result.is_error());
  EXPECT_EQ(data_text(result), R"([{"command":"z.exe","enabled":false,"name":"Zeta","scope":"hklm-run"},)"
                               R"({"command":"C:\\a.exe \"x\"","enabled":true,"name":"Alpha","scope":"hklm-run"}])");
  EXPECT_EQ(registry.run_scopes, std::vector<StartupScope>{StartupScope::HklmRun});
  EXPECT_EQ(cleaner.calls, 0);
}

TEST_F(DispatchTest, ListOfAnEmptyRunKeyIsAnEmptyArray) {
  const ActionResult result = run(HelperRequest{StartupHklmList{}});
  ASSERT_FALSE(result.is_error());
  EXPECT_EQ(data_text(result), "[]");
}

TEST_F(DispatchTest, ListPassesTheListingErrorUnchanged) {
  registry.run = {{"Tool", "t"}};
  registry.approved_values_error = OsError{2};
  const ActionResult result = run(HelperRequest{StartupHklmList{}});
  ASSERT_TRUE(result.is_error());
  EXPECT_EQ(result.error_message(), "System message 2. (os error 2)");
}

TEST_F(DispatchTest, SetWritesTheStateAndEchoesTheRequest) {
  registry.run = {{"Other", "o"}, {"Tool", "t"}};
  registry.approved["Tool"] = Bytes{0x02, 0xAA, 0xBB};

  const ActionResult disabled = run(set_request("Tool", false));
  ASSERT_FALSE(disabled.is_error());
  EXPECT_EQ(data_text(disabled), R"({"enabled":false,"name":"Tool"})");

  // The same state again is written again.
  const ActionResult again = run(set_request("Tool", false));
  ASSERT_FALSE(again.is_error());

  const ActionResult enabled = run(set_request("Tool", true));
  ASSERT_FALSE(enabled.is_error());
  EXPECT_EQ(data_text(enabled), R"({"enabled":true,"name":"Tool"})");

  const std::vector<MemoryRegistry::Write> expected = {
      {StartupScope::HklmRun, "Tool", state(false)},
      {StartupScope::HklmRun, "Tool", state(false)},
      {StartupScope::HklmRun, "Tool", state(true)},
  };
  EXPECT_EQ(registry.writes, expected);
  EXPECT_EQ(registry.run_scopes, std::vector<StartupScope>(3, StartupScope::HklmRun));
}

TEST_F(DispatchTest, SetWithAnEmptyNameReachesTheDefaultValue) {
  registry.run = {{"", "default.exe"}};
  const ActionResult result = run(set_request("", false));
  ASSERT_FALSE(result.is_error());
  EXPECT_EQ(data_text(result), R"({"enabled":false,"name":""})");
  EXPECT_EQ(registry.writes, (std::vector<MemoryRegistry::Write>{{StartupScope::HklmRun, "", state(false)}}));
}

TEST(DispatchSet, RefusesEveryNameThatIsNotListedExactlyAndWritesNothing) {
  const std::string refused[] = {
      "tool", "TOOL", " Tool", "Tool ", "Tool\t", "", "Too", "Tools", std::string("Tool\0", 5), "T\xc3\xb6ol",
  };
  for (const std::string& name : refused) {
    MemoryRegistry registry;
    registry.run = {{"Tool", "t"}, {"T\xc3\xb3ol", "u"}};
    FakeCleaner cleaner(std::uint64_t{0});
    const ActionResult result = dispatch(set_request(name, true), registry, cleaner, test::describe_os_error);
    ASSERT_TRUE(result.is_error()) << name;
    EXPECT_EQ(result.error_message(), "unknown HKLM startup entry: " + name);
    EXPECT_TRUE(registry.writes.empty()) << name;
  }
}

TEST_F(DispatchTest, SetOnAnEmptyRunKeyIsUnknown) {
  const ActionResult result = run(set_request("Tool", false));
  ASSERT_TRUE(result.is_error());
  EXPECT_EQ(result.error_message(), "unknown HKLM startup entry: Tool");
  EXPECT_TRUE(registry.writes.empty());
}

TEST(DispatchSet, ChecksListingThenNameThenWrite) {
  struct Case {
    const char* what;
    bool run_fails;
    bool approved_fails;
    bool write_fails;
    std::string name;
    std::string error;
    std::size_t writes;
  };
  const Case cases[] = {
      {"listing fails before the name is looked at", true, false, true, "Nope", "System message 1. (os error 1)", 0},
      {"a state read fails the listing", false, true, true, "Tool", "System message 2. (os error 2)", 0},
      {"unknown name before any write", false, false, true, "Nope", "unknown HKLM startup entry: Nope", 0},
      {"write failure last", false, false, true, "Tool", "System message 3. (os error 3)", 1},
  };
  for (const auto& c : cases) {
    MemoryRegistry registry;
    registry.run = {{"Tool", "t"}};
    if (c.run_fails) registry.run_values_error = OsError{1};
    if (c.approved_fails) registry.approved_values_error = OsError{2};
    if (c.write_fails) registry.set_error = OsError{3};
    FakeCleaner cleaner(std::uint64_t{0});
    const ActionResult result = dispatch(set_request(c.name, true), registry, cleaner, test::describe_os_error);
    ASSERT_TRUE(result.is_error()) << c.what;
    EXPECT_EQ(result.error_message(), c.error) << c.what;
    EXPECT_EQ(registry.writes.size(), c.writes) << c.what;
    EXPECT_FALSE(registry.approved.contains("Tool")) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "elevate/dispatch/action_data.hpp"
#include "support/response_data_json.hpp"

namespace tarnwick {
namespace {

using test::data_text;

TEST(StartupEntryJson, WritesTheFourMembersInKeyOrder) {
  struct Case {
    StartupEntry entry;
    std::string text;
  };
  const Case cases[] = {
      {{"Tool", "C:\\tool.exe /q", StartupScope::HklmRun, true},
       R"({"command":"C:\\tool.exe /q","enabled":true,"name":"Tool","scope":"hklm-run"})"},
      {{"", "", StartupScope::HklmRun, false}, R"({"command":"","enabled":false,"name":"","scope":"hklm-run"})"},
  };
  for (const auto& c : cases) {
    const nlohmann::json value = nlohmann::json::parse(data_text(startup_list_data({c.entry})));
    ASSERT_EQ(value.size(), 1u);
    EXPECT_TRUE(value[0].is_object());
    EXPECT_EQ(value[0].size(), 4u);
    EXPECT_EQ(data_text(startup_list_data({c.entry})), "[" + c.text + "]");
  }
}

TEST(StartupEntryJson, CarriesControlCharactersUnchangedForTheWriterToEscape) {
  const std::string command("a\0b\n\x01", 5);
  const std::string name("N\x1f", 2);
  const nlohmann::json value =
      nlohmann::json::parse(data_text(startup_list_data({StartupEntry{name, command, StartupScope::HklmRun, true}})));
  EXPECT_EQ(value.at(0).at("command").get<std::string>(), command);
  EXPECT_EQ(value.at(0).at("name").get<std::string>(), name);
}

TEST(StartupEntryJson, ListKeepsItsOrderAndAnEmptyListIsAnEmptyArray) {
  const std::vector<StartupEntry> entries = {
      {"b", "2", StartupScope::HklmRun, true},
      {"a", "1", StartupScope::HklmRun, false},
  };
  EXPECT_EQ(data_text(startup_list_data(entries)), R"([{"command":"2","enabled":true,"name":"b","scope":"hklm-run"},)"
                                                   R"({"command":"1","enabled":false,"name":"a","scope":"hklm-run"}])");
  EXPECT_EQ(data_text(startup_list_data(std::vector<StartupEntry>{})), "[]");
}

// A registry text that is not valid UTF-8 leaves the listing without JSON
// text, so that the response becomes the serialize fallback.
TEST(StartupEntryJson, InvalidUtf8GivesNoText) {
  const ResponseData data = startup_list_data({StartupEntry{"Tool", "\xff", StartupScope::HklmRun, true}});
  EXPECT_FALSE(data.json_text().ok());
}

TEST(StartupScopeWireName, NamesTheMachineWideRunKey) { EXPECT_STREQ(wire_name(StartupScope::HklmRun), "hklm-run"); }

}  // namespace
}  // namespace tarnwick

#include <gtest/gtest.h>

#include "elevate/dispatch/action_data.hpp"

namespace tarnwick {
namespace {

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
    const nlohmann::json value = startup_entry_data(c.entry);
    EXPECT_TRUE(value.is_object());
    EXPECT_EQ(value.size(), 4u);
    EXPECT_EQ(value.dump(), c.text);
  }
}

TEST(StartupEntryJson, CarriesControlCharactersUnchangedForTheWriterToEscape) {
  const std::string command("a\0b\n\x01", 5);
  const std::string name("N\x1f", 2);
  const nlohmann::json value = startup_entry_data(StartupEntry{name, command, StartupScope::HklmRun, true});
  EXPECT_EQ(value.at("command").get<std::string>(), command);
  EXPECT_EQ(value.at("name").get<std::string>(), name);
}

TEST(StartupEntryJson, ListKeepsItsOrderAndAnEmptyListIsAnEmptyArray) {
  const std::vector<StartupEntry> entries = {
      {"b", "2", StartupScope::HklmRun, true},
      {"a", "1", StartupScope::HklmRun, false},
  };
  EXPECT_EQ(startup_list_data(entries).dump(), R"([{"command":"2","enabled":true,"name":"b","scope":"hklm-run"},)"
                                               R"({"command":"1","enabled":false,"name":"a","scope":"hklm-run"}])");

  const nlohmann::json empty = startup_list_data(std::vector<StartupEntry>{});
  EXPECT_TRUE(empty.is_array());
  EXPECT_EQ(empty.dump(), "[]");
}

TEST(StartupScopeWireName, NamesTheMachineWideRunKey) { EXPECT_STREQ(wire_name(StartupScope::HklmRun), "hklm-run"); }

}  // namespace
}  // namespace tarnwick

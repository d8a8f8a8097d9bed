#include <gtest/gtest.h>

#include "startup/startup_entries.hpp"
#include "support/memory_registry.hpp"

namespace tarnwick {
namespace {

using test::MemoryRegistry;

Bytes state(bool enabled) {
  const auto bytes = approved_state_bytes(enabled);
  return Bytes(bytes.begin(), bytes.end());
}

TEST(ListStartupEntries, StateComesFromTheLowestBitOfTheFirstApprovedByte) {
  struct Case {
    const char* what;
    std::optional<Bytes> approved;
    bool enabled;
  };
  const Case cases[] = {
      {"no value", std::nullopt, true},
      {"empty value", Bytes{}, true},
      {"0x00", Bytes{0x00}, true},
      {"0x01", Bytes{0x01}, false},
      {"0x02", Bytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"0x03", Bytes{0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {"0x06", Bytes{0x06}, true},
      {"0x07", Bytes{0x07, 0xFF}, false},
      {"later bytes ignored", Bytes{0x02, 0x01, 0x01}, true},
  };
  for (const auto& c : cases) {
    MemoryRegistry registry;
    registry.run = {{"Tool", "tool.exe"}};
    if (c.approved) registry.approved["Tool"] = *c.approved;
    const auto entries = list_startup_entries(registry, StartupScope::HklmRun);
    ASSERT_TRUE(entries.ok()) << c.what;
    ASSERT_EQ(entries.value().size(), 1u) << c.what;
    EXPECT_EQ(entries.value()[0].enabled, c.enabled) << c.what;
  }
}

TEST(ListStartupEntries, KeepsEnumerationOrderAndTheAskedScope) {
  const StartupScope scope = StartupScope::HklmRun;
  MemoryRegistry registry;
  registry.run = {{"Zeta", "z.exe"}, {"", "default"}, {"alpha", "a.exe"}};
  registry.approved = {{"alpha", Bytes{0x03}}, {"Orphan", Bytes{0x03}}};
  const auto entries = list_startup_entries(registry, scope);
  ASSERT_TRUE(entries.ok());
  const std::vector<StartupEntry> expected = {
      {"Zeta", "z.exe", scope, true}, {"", "default", scope, true}, {"alpha", "a.exe", scope, false}};
  EXPECT_EQ(entries.value(), expected);
  EXPECT_EQ(registry.run_scopes, std::vector<StartupScope>{scope});
}

TEST(ListStartupEntries, AnyErrorDropsTheWholeListAndPassesUnchanged) {
  MemoryRegistry run_fails;
  run_fails.run = {{"Tool", "tool.exe"}};
  run_fails.run_values_error = OsError{5};
  const auto first = list_startup_entries(run_fails, StartupScope::HklmRun);
  ASSERT_FALSE(first.ok());
  EXPECT_EQ(first.error(), OsError{5});

  MemoryRegistry approved_fails;
  approved_fails.run = {{"One", "1"}, {"Two", "2"}, {"Three", "3"}};
  approved_fails.approved_values_error = OsError{1015};
  const auto second = list_startup_entries(approved_fails, StartupScope::HklmRun);
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error(), OsError{1015});
  EXPECT_TRUE(approved_fails.run_scopes.empty()) << "the Run key is not read after the states failed";
}

TEST(ListStartupEntries, ReadsTheStatesOnceAndFindsThemWithoutRegardToCase) {
  MemoryRegistry registry;
  registry.run = {{"Tool", "t"}, {"tool", "t2"}, {"Other", "o"}, {"Plain", "p"}, {std::string("Nul\0", 4), "n"}};
  registry.approved = {{"TOOL", Bytes{0x03}}, {"oTHER", Bytes{0x03}}, {"Nul", Bytes{0x03}}};
  const auto entries = list_startup_entries(registry, StartupScope::HklmRun);
  ASSERT_TRUE(entries.ok());
  std::vector<bool> enabled;
  for (const auto& entry : entries.value()) enabled.push_back(entry.enabled);
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, true, true}));
  EXPECT_EQ(registry.approved_scopes, std::vector<StartupScope>{StartupScope::HklmRun}) << "one read for all entries";
}

TEST(ApprovedStates, FindsByTheGivenUpcaseOnly) {
  ApprovedStates states(ascii_upcase);
  states.add(u"Ab\u00e9", Bytes{1});
  states.add(u"AB\u00e9", Bytes{2});  // the same name, case aside: the first stays
  states.add(u"Bad\xD800", Bytes{3});
  EXPECT_EQ(states.size(), 2u);
  ASSERT_NE(states.find("aB\xc3\xa9"), nullptr);
  EXPECT_EQ(*states.find("aB\xc3\xa9"), Bytes{1});
  EXPECT_EQ(states.find("AB\xc3\x89"), nullptr) << "\u00c9 is not a-z: the upcase given decides";
  EXPECT_EQ(states.find("AB"), nullptr);
  EXPECT_EQ(states.find(std::string("Ab\xc3\xa9\0", 5)), nullptr);
  EXPECT_EQ(states.find("\xff"), nullptr) << "not UTF-8";
}

TEST(ApprovedStateBytes, TwelveBytesWithTheStateFirst) {
  EXPECT_EQ(state(true), (Bytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(state(false), (Bytes{0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SetStartupEnabled, WritesTheStateEveryTimeWithoutLookingAtTheOldValue) {
  MemoryRegistry registry;
  registry.approved["Tool"] = Bytes{0x02, 0x55};
  ASSERT_TRUE(set_startup_enabled(registry, "Tool", true).ok());
  ASSERT_TRUE(set_startup_enabled(registry, "Tool", true).ok());
  ASSERT_TRUE(set_startup_enabled(registry, "Tool", false).ok());
  const std::vector<MemoryRegistry::Write> expected = {
      {StartupScope::HklmRun, "Tool", state(true)},
      {StartupScope::HklmRun, "Tool", state(true)},
      {StartupScope::HklmRun, "Tool", state(false)},
  };
  EXPECT_EQ(registry.writes, expected);
  EXPECT_EQ(registry.approved["Tool"], state(false));
}

TEST(SetStartupEnabled, PassesTheWriteErrorUnchanged) {
  MemoryRegistry registry;
  registry.set_error = OsError{5};
  const auto written = set_startup_enabled(registry, "Tool", false);
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error(), OsError{5});
  EXPECT_FALSE(registry.approved.contains("Tool"));
}

}  // namespace
}  // namespace tarnwick

// The helper writes its response only as a caller it verified. Each step of
// the verification can fail on its own; whichever fails, no later step runs,
// and above all the thread never takes an identity.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/caller_check.hpp"

namespace tarnwick {
namespace {

// Answers each step as the case says and records the steps that ran.
struct ScriptedSteps final : CallerSteps {
  std::uint32_t parent = 4242;
  bool opens = true;
  std::optional<std::uint64_t> parent_time = 100;
  std::optional<std::uint64_t> own_time = 200;
  bool running = true;
  bool token = true;
  bool thread_takes = true;
  std::vector<std::string> ran;

  std::uint32_t parent_id() override { return ran.push_back("parent_id"), parent; }
  bool open_parent(std::uint32_t id) override {
    EXPECT_EQ(id, parent);
    return ran.push_back("open_parent"), opens;
  }
  std::optional<std::uint64_t> parent_created() override { return ran.push_back("parent_created"), parent_time; }
  std::optional<std::uint64_t> own_created() override { return ran.push_back("own_created"), own_time; }
  bool parent_running() override { return ran.push_back("parent_running"), running; }
  bool open_parent_token() override { return ran.push_back("open_parent_token"), token; }
  bool impersonate() override { return ran.push_back("impersonate"), thread_takes; }
};

struct Case {
  const char* what;
  void (*script)(ScriptedSteps&);
  CallerVerdict verdict;
  std::string last_step;  // the last step that ran
};

const Case kCases[] = {
    {"a live parent, older than the helper", [](ScriptedSteps&) {}, CallerVerdict::Verified, "impersonate"},
    {"no parent: started from outside Windows", [](ScriptedSteps& s) { s.parent = 0; }, CallerVerdict::NoParent,
     "parent_id"},
    {"the parent is gone or not to be opened", [](ScriptedSteps& s) { s.opens = false; },
     CallerVerdict::ParentNotOpened, "open_parent"},
    {"the parent's creation time is unknown", [](ScriptedSteps& s) { s.parent_time.reset(); },
     CallerVerdict::ParentTimesUnknown, "own_created"},
    {"the helper's own creation time is unknown", [](ScriptedSteps& s) { s.own_time.reset(); },
     CallerVerdict::ParentTimesUnknown, "own_created"},
    {"the id now names a newer process", [](ScriptedSteps& s) { s.parent_time = 300; }, CallerVerdict::ParentNotOlder,
     "own_created"},
    {"the id names a process created in the same tick", [](ScriptedSteps& s) { s.parent_time = 200; },
     CallerVerdict::ParentNotOlder, "own_created"},
    {"the parent exited before the response was written", [](ScriptedSteps& s) { s.running = false; },
     CallerVerdict::ParentExited, "parent_running"},
    {"the parent's token cannot be had", [](ScriptedSteps& s) { s.token = false; }, CallerVerdict::TokenNotOpened,
     "open_parent_token"},
    {"the thread does not take the token", [](ScriptedSteps& s) { s.thread_takes = false; },
     CallerVerdict::ThreadRefused, "impersonate"},
};

TEST(CallerCheck, EachFailingStepEndsTheCheckWithItsVerdict) {
  for (const Case& c : kCases) {
    ScriptedSteps steps;
    c.script(steps);
    EXPECT_EQ(verify_caller(steps), c.verdict) << c.what;
    // Nothing after the failing step ran: the thread tried no identity unless
    // every check before passed.
    ASSERT_FALSE(steps.ran.empty()) << c.what;
    EXPECT_EQ(steps.ran.back(), c.last_step) << c.what;
  }
}

TEST(CallerCheck, StepsRunInOrderAndTheParentIsCheckedBeforeItsToken) {
  ScriptedSteps steps;
  ASSERT_EQ(verify_caller(steps), CallerVerdict::Verified);
  EXPECT_EQ(steps.ran, (std::vector<std::string>{"parent_id", "open_parent", "parent_created", "own_created",
                                                 "parent_running", "open_parent_token", "impersonate"}));
}

}  // namespace
}  // namespace tarnwick

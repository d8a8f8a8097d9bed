// The bounded grow-and-retry loop that every buffer-filling system call of
// the Windows layer goes through.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/growing_buffer.hpp"

namespace tarnwick::win {
namespace {

TEST(FillGrowing, GrowsToTheSizeAskedForUntilDoneAndStopsWhenGrowingCannotHelp) {
  struct Case {
    const char* what;
    std::vector<std::size_t> answers;  // what each call returns, in order
    int attempts;
    bool done;
    std::vector<std::size_t> sizes_seen;  // the buffer's size at each call
  };
  const Case cases[] = {
      {"fits at once", {0}, 4, true, {8}},
      {"one size learnt, then fits", {20, 0}, 4, true, {8, 20}},
      {"the size asked for changes between calls", {20, 30, 0}, 4, true, {8, 20, 30}},
      {"asks for what it already has", {8}, 4, false, {8}},
      {"asks for less than it has", {20, 5}, 4, false, {8, 20}},
      {"keeps asking for more: bounded", {9, 10, 11, 12, 13}, 3, false, {8, 9, 10}},
      {"no attempt at all", {0}, 0, false, {}},
  };
  for (const Case& c : cases) {
    std::string buffer(8, '\0');
    std::vector<std::size_t> seen;
    const bool done = fill_growing(buffer, c.attempts, [&](std::string& filled) {
      seen.push_back(filled.size());
      return c.answers.at(seen.size() - 1);
    });
    EXPECT_EQ(done, c.done) << c.what;
    EXPECT_EQ(seen, c.sizes_seen) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick::win

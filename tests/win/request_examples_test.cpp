// The documented refusals, through the exe itself: the same table that
// decode-requests is checked against on the host.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "win/support/helper_process.hpp"

namespace tarnwick::test {
namespace {

TEST(HelperExeRequestExamples, EachRefusalIsAnsweredWithItsExactResponse) {
  std::ifstream examples(TARNWICK_REQUEST_EXAMPLES, std::ios::binary);
  ASSERT_TRUE(examples) << "cannot read " << TARNWICK_REQUEST_EXAMPLES;
  const std::wstring dir = make_temp_dir();
  int checked = 0;
  for (std::string line; std::getline(examples, line);) {
    const auto tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    const std::string request = line.substr(0, tab);
    const std::string expected = line.substr(tab + 1);
    const std::wstring response = dir + L"\\response-" + std::to_wstring(checked++) + L".json";
    const HelperRun run = run_helper_exe(L"\"" + widen_ascii(request) + L"\" \"" + response + L"\"");
    EXPECT_EQ(run.exit_code, 1u) << request;
    EXPECT_EQ(read_file_bytes(response), expected) << request;
  }
  EXPECT_GE(checked, 30);
}

}  // namespace
}  // namespace tarnwick::test

// "clean-system" through the helper exe, with WINDIR set for the child.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/hex.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::test {
namespace {

HelperRun clean_system(const std::wstring& windir, const std::wstring& response) {
  const std::wstring request = widen_ascii(hex_of(R"({"action":{"action":"clean-system"}})"));
  return run_helper_exe(request + L" \"" + response + L"\"", {{L"WINDIR", windir}});
}

TEST(CleanExe, AnswersTheBytesRemovedAndLeavesAllButTheTargetsContent) {
  const std::wstring dir = make_temp_dir();
  const std::wstring windir = dir + L"\\Windows";
  make_file(windir + L"\\System32\\kernel32.dll", 4096);
  make_file(windir + L"\\SoftwareDistribution\\DataStore\\DataStore.edb", 10);
  make_file(windir + L"\\SoftwareDistribution\\Download\\update.cab", 1000);
  make_file(windir + L"\\SoftwareDistribution\\Download\\sub\\part", 500);
  make_file(windir + L"\\Temp\\a.tmp", 100);
  make_file(windir + L"\\Temp\\b.tmp", 23);
  make_file(windir + L"\\Temp\\sub\\deep\\x", 77);
  const std::wstring response = dir + L"\\response.json";

  const HelperRun run = clean_system(windir, response);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(read_file_bytes(response), R"({"status":"ok","data":{"removed_bytes":1123}})");
  std::vector<std::wstring> expected = {L"SoftwareDistribution",
                                        L"SoftwareDistribution\\DataStore",
                                        L"SoftwareDistribution\\DataStore\\DataStore.edb",
                                        L"SoftwareDistribution\\Download",
                                        L"System32",
                                        L"System32\\kernel32.dll",
                                        L"Temp"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(entries_under(windir), expected);
}

TEST(CleanExe, AnswersZeroWhenBothTargetsAreAbsent) {
  const std::wstring dir = make_temp_dir();
  const std::wstring windir = dir + L"\\Windows";
  make_file(windir + L"\\notepad.exe", 20);
  const std::wstring response = dir + L"\\response.json";
  const HelperRun run = clean_system(windir, response);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(read_file_bytes(response), R"({"status":"ok","data":{"removed_bytes":0}})");
  EXPECT_EQ(entries_under(windir), std::vector<std::wstring>{L"notepad.exe"});
}

}  // namespace
}  // namespace tarnwick::test

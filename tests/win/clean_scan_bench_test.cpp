// The scan alone on a tree that bench/clean_system_bench.sh generates: it
// passes the folder and its expected size in TARNWICK_BENCH_SCAN_DIR and
// TARNWICK_BENCH_SCAN_BYTES, and reads the time printed here. Skipped in
// ordinary test runs, which give neither.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/clean/scan.hpp"
#include "engine/clean/file_system_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::clean {
namespace {

TEST(CleanBench, ScanOfAGeneratedTree) {
  const char* dir = std::getenv("TARNWICK_BENCH_SCAN_DIR");
  const char* bytes = std::getenv("TARNWICK_BENCH_SCAN_BYTES");
  if (dir == nullptr || bytes == nullptr) GTEST_SKIP() << "run by bench/clean_system_bench.sh";
  const auto path = win::to_wide(dir);
  ASSERT_TRUE(path.has_value());
  WinFileSystem fs;
  const std::vector<CleanTarget> targets = {{"bench", std::u16string(win::as_utf16(*path))}};
  const std::atomic<bool> never{false};
  const auto start = std::chrono::steady_clock::now();
  const auto report = scan_with_progress(
      fs, targets, [](ScanProgress) {}, never);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(report.ok());
  EXPECT_EQ(report.value().total_bytes, std::stoull(bytes));
  std::printf("scan-seconds %.6f\n", seconds);
}

}  // namespace
}  // namespace tarnwick::clean

#pragma once

// Measures the cleaning targets: how many bytes of plain files each holds.
// Only a target found non-empty is cleaned afterwards.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "elevate/protocol/system_cleaner.hpp"
#include "engine/clean/clean_targets.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// A target that holds data.
struct ScanItem {
  std::string id;
  std::string path;  // UTF-8 text of the target's path
  std::uint64_t bytes = 0;  // always above zero
};

struct ScanReport {
  std::vector<ScanItem> items;  // in target order
  std::uint64_t total_bytes = 0;
};

// One report per target visited, after it has been measured.
struct ScanProgress {
  std::string id;
  std::string path;
  std::uint64_t bytes = 0;        // this target, 0 when absent or empty
  std::uint64_t total_bytes = 0;  // running sum, this target included
  std::uint32_t index = 0;        // 1-based
  std::uint32_t count = 0;
};

using ProgressCallback = std::function<void(ScanProgress)>;

inline constexpr std::string_view cancelled_message = "cancelado";

// Measures each target in order and reports it. `cancel` is read before each
// target, never while one is measured; when set, the scan stops with the
// error "cancelado" and what it had gathered is dropped.
Result<ScanReport, EngineError> scan_with_progress(FileSystem& file_system, const std::vector<CleanTarget>& targets,
                                                   const ProgressCallback& on_progress,
                                                   const std::atomic<bool>& cancel);

// Bytes of all plain files beneath the folder, by the listings' sizes. Links
// are never followed and count 0; whatever cannot be listed counts 0.
std::uint64_t dir_size(FileSystem& file_system, std::u16string_view path);

}  // namespace tarnwick::clean

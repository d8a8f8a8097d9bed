#pragma once

// Measures the cleaning targets: how many bytes of plain files each holds.
// Only a target found non-empty is cleaned afterwards, through the very
// handle it was measured through.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "engine/clean/clean_targets.hpp"
#include "engine/clean/file_system.hpp"
#include "engine/clean/folder_stack.hpp"

namespace tarnwick::clean {

// A target that holds data, with its folder still open.
struct ScanItem {
  std::string id;
  std::u16string path;
  std::uint64_t bytes = 0;  // always above zero
  std::unique_ptr<OpenEntry> folder;
};

struct ScanReport {
  std::vector<ScanItem> items;  // in target order
  std::uint64_t total_bytes = 0;
};

// One report per target visited, after it has been measured.
struct ScanProgress {
  std::string id;
  std::u16string path;
  std::uint64_t bytes = 0;        // this target, 0 when absent or empty
  std::uint64_t total_bytes = 0;  // running sum, this target included
  std::uint32_t index = 0;        // 1-based
  std::uint32_t count = 0;
};

using ProgressCallback = std::function<void(ScanProgress)>;

// Why a scan with progress stopped early: its one field is the text shown.
struct EngineError {
  std::string message;
};

inline constexpr std::string_view kCancelledMessage = "cancelado";

// Measures each target in order and keeps the non-empty ones. Cannot fail:
// a target that cannot be opened or measured counts 0.
ScanReport scan_targets(FileSystem& file_system, const std::vector<CleanTarget>& targets);

// The same with a report per target. `cancel` is read before each target,
// never while one is measured; when set, the scan stops with the error
// "cancelado" and what it had gathered is dropped.
Result<ScanReport, EngineError> scan_with_progress(FileSystem& file_system, const std::vector<CleanTarget>& targets,
                                                   const ProgressCallback& on_progress,
                                                   const std::atomic<bool>& cancel);

// A target folder, open. Null when it cannot be opened, or is a reparse
// point of any kind (a link to elsewhere is never the target), or is not a
// directory: such a target is absent.
std::unique_ptr<OpenEntry> open_target(FileSystem& file_system, std::u16string_view path);

// Bytes of all plain files beneath the open folder, by the listings' sizes.
// Subfolders are opened relative to their parent without following a link,
// and entered only when their handle says directory: links count 0 and are
// never followed. Whatever cannot be opened or listed counts 0.
std::uint64_t folder_size(OpenEntry& folder, WorkListGauge* gauge = nullptr);

}  // namespace tarnwick::clean

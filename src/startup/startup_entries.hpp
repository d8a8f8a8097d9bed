#pragma once

// The two startup actions' logic: listing a Run key's entries with their
// state, and enabling or disabling one by writing its StartupApproved value.
// The Run value itself is never changed.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "startup/startup_entry.hpp"
#include "startup/startup_registry.hpp"

namespace tarnwick {

// Every entry of the scope's Run key in enumeration order, each enabled unless
// the lowest bit of the first byte of its StartupApproved value is set (no
// value, or an empty one, means enabled). All or nothing: any error from the
// registry is returned unchanged and no entry is.
Result<std::vector<StartupEntry>, OsError> list_startup_entries(StartupRegistry& registry, StartupScope scope);

// The StartupApproved value written for a state: 0x02 (enabled) or 0x03
// (disabled), then eleven zero bytes.
std::array<std::uint8_t, 12> approved_state_bytes(bool enabled);

// Writes approved_state_bytes(enabled) as the machine-wide StartupApproved
// value of `name`, replacing whatever was there. Does not check that the
// entry exists: callers look the name up in a fresh listing first.
Result<Done, OsError> set_startup_enabled(StartupRegistry& registry, const std::string& name, bool enabled);

}  // namespace tarnwick

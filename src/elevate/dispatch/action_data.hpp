#pragma once

// The "data" of each action's successful response, as it goes on the wire:
// the shapes of src/wire/action_data_json.hpp, over the helper's own types.

#include <cstdint>
#include <string>
#include <vector>

#include "elevate/dispatch/response_data.hpp"
#include "startup/startup_entry.hpp"

namespace tarnwick {

// The name an entry's "scope" member gives its Run key.
const char* wire_name(StartupScope scope);

// clean-system: {"removed_bytes":N}, N an unsigned number.
ResponseData clean_system_data(std::uint64_t removed_bytes);

// startup-hklm-list: an array of entries in listing order, each
// {"command":..,"enabled":..,"name":..,"scope":..}. Document objects: the
// members come out in key order.
ResponseData startup_list_data(const std::vector<StartupEntry>& entries);

// startup-hklm-set: {"enabled":..,"name":..}, the state just written.
ResponseData startup_set_data(const std::string& name, bool enabled);

}  // namespace tarnwick

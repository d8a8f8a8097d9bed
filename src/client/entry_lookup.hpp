#pragma once

// Finding a listed startup entry by a name typed in any case, as the registry
// finds a value, and the nearest names when none matches.
//
// The registry compares value names without regard to case, one UTF-16 unit
// at a time through its uppercase table; so two listed names never differ
// in case alone. Here each unit goes through Unicode's simple uppercase
// mapping (upper_unit, a table generated from Unicode by
// tools/gen-client-char-tables), the same on every platform, so that the
// lookup is tested on the host as it runs on Windows. Windows' own table is
// of an older Unicode version: for a letter it lacks, two names Windows holds
// apart could compare equal here, and find_entry then finds neither (it
// never picks one of two).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "client/startup_entry.hpp"

namespace tarnwick::client {

// The names are equal ignoring case. Text that is not UTF-8 is compared byte
// for byte.
bool same_name_ignoring_case(std::string_view a, std::string_view b);

// The listed entry named `name`: the one with exactly that name, otherwise the
// one whose name equals it ignoring case. nullptr when none does, or when
// several do (see above).
const StartupEntry* find_entry(const std::vector<StartupEntry>& entries, std::string_view name);

// Up to `at_most` listed names nearest to `name` (edit distance in UTF-16
// units, ignoring case), nearest first, then in listing order; only names
// close enough to be a slip: at most 2 edits, or a third of the name's length
// when that is more. Names longer than 256 units are not considered.
std::vector<std::string> nearest_names(const std::vector<StartupEntry>& entries, std::string_view name,
                                       std::size_t at_most = 3);

// The same as the entries' indexes (for the C interface, which hands out
// positions in its listing).
std::vector<std::size_t> nearest_indexes(const std::vector<StartupEntry>& entries, std::string_view name,
                                         std::size_t at_most = 3);

}  // namespace tarnwick::client

#pragma once

// The uppercase table, generated from Unicode by tools/gen-client-char-tables
// into case_table.cpp.

namespace tarnwick::client {

// The unit's simple uppercase mapping when that is one other UTF-16 unit,
// otherwise the unit itself (surrogates stay as they are).
char16_t upper_unit(char16_t unit);

}  // namespace tarnwick::client

#pragma once

// Two display-width tables, generated from Unicode by
// tools/gen-client-char-tables into width_tables.cpp.

namespace tarnwick::cli {

// A character a terminal shows two columns wide: East Asian Width W or F.
bool is_wide(char32_t code_point);

// A character a terminal shows in no column of its own: a combining mark, a
// format character (the soft hyphen excepted), a conjoining Hangul vowel or
// final consonant.
bool is_zero_width(char32_t code_point);

}  // namespace tarnwick::cli

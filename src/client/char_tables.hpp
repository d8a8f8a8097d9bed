#pragma once

// Three character tables, generated from Unicode by tools/gen-client-char-tables
// into char_tables.cpp.

namespace tarnwick::client {

// A character a terminal shows two columns wide: East Asian Width W or F.
bool is_wide(char32_t code_point);

// A character a terminal shows in no column of its own: a combining mark, a
// format character (the soft hyphen excepted), a conjoining Hangul vowel or
// final consonant.
bool is_zero_width(char32_t code_point);

// The unit's simple uppercase mapping when that is one other UTF-16 unit,
// otherwise the unit itself (surrogates stay as they are).
char16_t upper_unit(char16_t unit);

}  // namespace tarnwick::client

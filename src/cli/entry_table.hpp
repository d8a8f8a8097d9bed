#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/startup_entry.hpp"

namespace tarnwick::cli {

// The listing as a table for people: a header line, then per entry its name,
// "on" or "off", and its command, each line ending in a line feed. Control
// characters (U+0000-U+001F, U+007F-U+009F) are shown as \xNN, never sent to
// the terminal. With a console width, commands are shortened to fit and end in
// "..."; without one (output redirected) they are printed whole. Names are
// never shortened: they are what enable and disable take.
std::string format_entry_table(const std::vector<client::StartupEntry>& entries,
                               std::optional<std::size_t> console_width);

// A text with its control characters (and bytes that are not UTF-8) shown as
// \xNN, as the table shows names.
std::string printable(std::string_view text);

}  // namespace tarnwick::cli

#include "cli/entry_table.hpp"

#include <algorithm>
#include <string_view>

#include "cli/width_tables.hpp"

namespace tarnwick::cli {

// The library this program is written over.
using namespace client;
namespace {

constexpr std::size_t kMaxNameColumn = 40;
constexpr std::size_t kMinCommandRoom = 10;
constexpr std::string_view kEllipsis = "...";

// One character as shown, and the columns it takes: none for a combining
// mark or a format character, two for an East Asian wide or fullwidth
// character, four for an escape, one otherwise.
struct Shown {
  std::string text;
  std::size_t width = 1;
};

std::size_t sequence_length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// The code point of one well-formed UTF-8 sequence.
char32_t code_point(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) return lead;
  char32_t value = lead & (0x7F >> sequence.size());
  for (std::size_t k = 1; k < sequence.size(); ++k)
    value = (value << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3F);
  return value;
}

std::string escaped(unsigned value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return std::string("\\x") + kDigits[(value >> 4) & 0xF] + kDigits[value & 0xF];
}

std::vector<Shown> shown_characters(std::string_view text) {
  std::vector<Shown> out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = sequence_length(lead);
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 1;
    }
    if (lead < 0x20 || lead == 0x7F || (length == 1 && lead >= 0x80)) {
      out.push_back({escaped(lead), 4});  // a control character, or a byte that is not UTF-8
    } else if (lead == 0xC2 && length == 2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out.push_back({escaped(static_cast<unsigned char>(text[i + 1])), 4});  // C1 controls U+0080-U+009F
    } else {
      const char32_t shown = code_point(text.substr(i, length));
      out.push_back({std::string(text.substr(i, length)), is_zero_width(shown) ? 0u : is_wide(shown) ? 2u : 1u});
    }
    i += length;
  }
  return out;
}

std::size_t width_of(const std::vector<Shown>& shown) {
  std::size_t width = 0;
  for (const Shown& c : shown) width += c.width;
  return width;
}

std::string joined(const std::vector<Shown>& shown) {
  std::string out;
  for (const Shown& c : shown) out += c.text;
  return out;
}

// At most `room` columns; a shortened text ends in "...".
std::string fitted(const std::vector<Shown>& shown, std::size_t room) {
  if (width_of(shown) <= room) return joined(shown);
  std::string out;
  std::size_t used = 0;
  for (const Shown& c : shown) {
    if (used + c.width + kEllipsis.size() > room) break;
    out += c.text;
    used += c.width;
  }
  return out + std::string(kEllipsis);
}

std::string padded(std::string text, std::size_t width, std::size_t column) {
  if (width < column) text.append(column - width, ' ');
  return text;
}

}  // namespace

std::string printable(std::string_view text) { return joined(shown_characters(text)); }

std::string format_entry_table(const std::vector<client::StartupEntry>& entries,
                               std::optional<std::size_t> console_width) {
  if (entries.empty()) return "No machine-wide startup entries.\n";
  std::vector<std::vector<Shown>> names;
  std::size_t name_column = 4;  // "NAME"
  for (const StartupEntry& entry : entries) {
    names.push_back(shown_characters(entry.name));
    name_column = std::max(name_column, std::min(width_of(names.back()), kMaxNameColumn));
  }
  constexpr std::size_t kStateColumn = 5;  // "STATE"
  std::string out = padded("NAME", 4, name_column) + "  " + padded("STATE", 5, kStateColumn) + "  COMMAND\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t name_width = width_of(names[i]);
    const std::string state = entries[i].enabled ? "on" : "off";
    std::string line =
        padded(joined(names[i]), name_width, name_column) + "  " + padded(state, state.size(), kStateColumn) + "  ";
    const std::size_t used = std::max(name_width, name_column) + 2 + kStateColumn + 2;
    const auto command = shown_characters(entries[i].command);
    if (console_width) {
      // One column is kept free: a console wraps a line that fills its width.
      const std::size_t room = *console_width > used + 1 ? *console_width - used - 1 : 0;
      line += fitted(command, std::max(room, kMinCommandRoom));
    } else {
      line += joined(command);
    }
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace tarnwick::cli

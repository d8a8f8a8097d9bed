#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

bool is_drive_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool starts_with_drive(std::u16string_view path) {
  return path.size() >= 2 && is_drive_letter(path[0]) && path[1] == u':';
}

// Paths the system takes literally know only the backslash as a separator.
bool is_separator_in(char16_t c, bool literal) { return literal ? c == u'\\' : is_path_separator(c); }

std::size_t next_separator(std::u16string_view path, std::size_t from, bool literal) {
  for (std::size_t i = from; i < path.size(); ++i) {
    if (is_separator_in(path[i], literal)) return i;
  }
  return path.size();
}

// The end of "server\share" starting at `from`.
std::size_t end_of_server_and_share(std::u16string_view path, std::size_t from, bool literal) {
  const std::size_t server_end = next_separator(path, from, literal);
  return server_end < path.size() ? next_separator(path, server_end + 1, literal) : path.size();
}

bool equals_ignoring_ascii_case(std::u16string_view text, std::u16string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = (text[i] >= u'a' && text[i] <= u'z') ? static_cast<char16_t>(text[i] - 32) : text[i];
    if (c != upper[i]) return false;
  }
  return true;
}

// Length of the part before the root: a drive ("C:"), a server and share,
// a device ("\\.\COM1"), or the literal forms with what they name.
std::size_t prefix_length(std::u16string_view path, bool literal) {
  if (literal) {
    const std::u16string_view rest = path.substr(4);
    if (rest.size() >= 4 && equals_ignoring_ascii_case(rest.substr(0, 4), u"UNC\\")) {
      return end_of_server_and_share(path, 8, true);
    }
    if (starts_with_drive(rest)) return 6;
    return next_separator(path, 4, true);
  }
  if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) {
    if (path.size() >= 4 && (path[2] == u'.' || path[2] == u'?') && is_path_separator(path[3])) {
      return next_separator(path, 4, false);
    }
    return end_of_server_and_share(path, 2, false);
  }
  return starts_with_drive(path) ? 2 : 0;
}

}  // namespace

bool is_extended_length(std::u16string_view path) { return path.substr(0, 4) == u"\\\\?\\"; }

bool is_nt_object_path(std::u16string_view path) { return path.substr(0, 4) == u"\\??\\"; }

bool is_absolute_path(std::u16string_view path) {
  if (is_nt_object_path(path)) return true;
  if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) return true;
  return path.size() >= 3 && starts_with_drive(path) && is_path_separator(path[2]);
}

std::u16string join_path(std::u16string_view base, std::u16string_view tail) {
  std::u16string joined(base);
  const bool bare_drive = base.size() == 2 && starts_with_drive(base);
  if (!base.empty() && !is_path_separator(base.back()) && !bare_drive) joined.push_back(u'\\');
  const std::size_t tail_start = joined.size();
  joined.append(tail);
  if (is_extended_length(base) || is_nt_object_path(base)) {
    for (std::size_t i = tail_start; i < joined.size(); ++i) {
      if (joined[i] == u'/') joined[i] = u'\\';
    }
  }
  return joined;
}

std::size_t first_rewritten_component(std::u16string_view path) {
  if (is_extended_length(path) || is_nt_object_path(path)) return std::u16string_view::npos;
  std::size_t position = prefix_length(path, false);
  while (position < path.size()) {
    if (is_path_separator(path[position])) {
      ++position;
      continue;
    }
    const std::size_t end = next_separator(path, position, false);
    const std::u16string_view component = path.substr(position, end - position);
    if (component != u"." && component != u".." && (component.back() == u'.' || component.back() == u' ')) {
      return position;
    }
    position = end;
  }
  return std::u16string_view::npos;
}

std::optional<std::u16string_view> last_ordinary_component(std::u16string_view path) {
  const bool literal = is_extended_length(path) || is_nt_object_path(path);
  std::size_t position = prefix_length(path, literal);
  std::optional<std::u16string_view> last;
  while (position < path.size()) {
    if (is_separator_in(path[position], literal)) {
      ++position;
      continue;
    }
    const std::size_t end = next_separator(path, position, literal);
    const std::u16string_view component = path.substr(position, end - position);
    if (component != u".") last = component;
    position = end;
  }
  if (!last || *last == u"..") return std::nullopt;
  return last;
}

}  // namespace tarnwick::clean

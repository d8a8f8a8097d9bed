#include "platform/windows_path_syntax.hpp"

namespace tarnwick::win {
namespace {

bool is_drive_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

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

bool starts_with_two_separators(std::u16string_view path) {
  return path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1]);
}

}  // namespace

bool starts_with_drive(std::u16string_view path) {
  return path.size() >= 2 && is_drive_letter(path[0]) && path[1] == u':';
}

PathForm path_form(std::u16string_view path) {
  if (path.starts_with(u"\\\\?\\")) {
    const std::u16string_view rest = path.substr(4);
    const bool drive_path = starts_with_drive(rest) && rest.size() >= 3 && rest[2] == u'\\';
    return drive_path ? PathForm::ExtendedDrive : PathForm::ExtendedLength;
  }
  if (path.starts_with(u"\\??\\")) return PathForm::NtObject;
  if (starts_with_two_separators(path)) {
    const bool device = path.size() >= 4 && (path[2] == u'.' || path[2] == u'?') && is_path_separator(path[3]);
    return device ? PathForm::Device : PathForm::Unc;
  }
  if (starts_with_drive(path)) {
    return path.size() >= 3 && is_path_separator(path[2]) ? PathForm::DriveAbsolute : PathForm::DriveRelative;
  }
  if (!path.empty() && is_path_separator(path[0])) return PathForm::Rooted;
  return PathForm::Relative;
}

std::size_t prefix_length(std::u16string_view path) {
  switch (path_form(path)) {
    case PathForm::ExtendedDrive:
    case PathForm::ExtendedLength:
    case PathForm::NtObject: {
      const std::u16string_view rest = path.substr(4);
      if (rest.size() >= 4 && equals_ignoring_ascii_case(rest.substr(0, 4), u"UNC\\")) {
        return end_of_server_and_share(path, 8, true);
      }
      if (starts_with_drive(rest)) return 6;
      return next_separator(path, 4, true);
    }
    case PathForm::Device:
      return next_separator(path, 4, false);
    case PathForm::Unc:
      return end_of_server_and_share(path, 2, false);
    case PathForm::DriveAbsolute:
    case PathForm::DriveRelative:
      return 2;
    case PathForm::Rooted:
    case PathForm::Relative:
      break;
  }
  return 0;
}

PathComponents::PathComponents(std::u16string_view path)
    : path_(path), literal_(is_literal(path_form(path))), position_(prefix_length(path)) {}

std::optional<PathComponent> PathComponents::next() {
  while (position_ < path_.size() && is_separator_in(path_[position_], literal_)) ++position_;
  if (position_ == path_.size()) return std::nullopt;
  const std::size_t start = position_;
  position_ = next_separator(path_, start, literal_);
  return PathComponent{start, path_.substr(start, position_ - start)};
}

std::u16string_view final_component_text(std::u16string_view path) {
  std::size_t start = starts_with_drive(path) ? 2 : 0;
  for (std::size_t i = start; i < path.size(); ++i) {
    if (is_path_separator(path[i])) start = i + 1;
  }
  return path.substr(start);
}

}  // namespace tarnwick::win

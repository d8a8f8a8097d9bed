#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {

bool is_extended_length(std::u16string_view path) {
  const win::PathForm form = win::path_form(path);
  return form == win::PathForm::ExtendedDrive || form == win::PathForm::ExtendedLength;
}

bool is_nt_object_path(std::u16string_view path) { return win::path_form(path) == win::PathForm::NtObject; }

bool is_absolute_path(std::u16string_view path) { return win::is_absolute(win::path_form(path)); }

std::u16string join_path(std::u16string_view base, std::u16string_view tail) {
  std::u16string joined(base);
  const bool bare_drive = base.size() == 2 && win::starts_with_drive(base);
  if (!base.empty() && !is_path_separator(base.back()) && !bare_drive) joined.push_back(u'\\');
  const std::size_t tail_start = joined.size();
  joined.append(tail);
  if (win::is_literal(win::path_form(base))) {
    for (std::size_t i = tail_start; i < joined.size(); ++i) {
      if (joined[i] == u'/') joined[i] = u'\\';
    }
  }
  return joined;
}

std::size_t first_rewritten_component(std::u16string_view path) {
  if (win::is_literal(win::path_form(path))) return std::u16string_view::npos;
  win::PathComponents components(path);
  while (const auto component = components.next()) {
    const std::u16string_view name = component->name;
    if (name != u"." && name != u".." && (name.back() == u'.' || name.back() == u' ')) return component->position;
  }
  return std::u16string_view::npos;
}

std::optional<std::u16string_view> last_ordinary_component(std::u16string_view path) {
  std::optional<std::u16string_view> last;
  win::PathComponents components(path);
  while (const auto component = components.next()) {
    if (component->name != u".") last = component->name;
  }
  if (!last || *last == u"..") return std::nullopt;
  return last;
}

}  // namespace tarnwick::clean

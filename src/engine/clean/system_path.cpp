#include "engine/clean/system_path.hpp"

#include "engine/clean/windows_error.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

std::u16string extended_length_form(std::u16string_view full) {
  const win::PathForm form = win::path_form(full);
  if (win::is_literal(form) || form == win::PathForm::Device) return std::u16string(full);
  if (form == win::PathForm::Unc) return u"\\\\?\\UNC\\" + std::u16string(full.substr(2));
  if (win::is_absolute(form)) return u"\\\\?\\" + std::u16string(full);
  // A resolver gives absolute paths; anything else is handed on as it came.
  return std::u16string(full);
}

// `head` made absolute, then `tail` as written, in extended-length form.
Result<std::u16string, OsError> with_literal_tail(std::u16string_view head, std::u16string_view tail,
                                                  const FullPathResolver& full_path) {
  auto full = full_path(head.empty() ? u"." : head);
  if (!full) return Err{full.error()};
  std::u16string handed = extended_length_form(full.value());
  // The literal form has no other meaning to give to the rest.
  if (!is_extended_length(handed)) return Err{OsError{windows_error::kBadPathname}};
  if (!is_path_separator(handed.back())) handed.push_back(u'\\');
  for (const char16_t c : tail) handed.push_back(c == u'/' ? u'\\' : c);
  return handed;
}

}  // namespace

Result<std::u16string, OsError> system_path(std::u16string_view path, const FullPathResolver& full_path) {
  if (path.find(u'\0') != std::u16string_view::npos) return Err{OsError{windows_error::kInvalidName}};
  if (win::is_literal(win::path_form(path))) return std::u16string(path);
  if (const std::size_t rewritten = first_rewritten_component(path); rewritten != std::u16string_view::npos) {
    return with_literal_tail(path.substr(0, rewritten), path.substr(rewritten), full_path);
  }
  if (path.size() + 1 < kExtendedLengthThreshold && is_absolute_path(path)) return std::u16string(path);
  auto full = full_path(path);
  if (!full) return Err{full.error()};
  return extended_length_form(full.value());
}

}  // namespace tarnwick::clean

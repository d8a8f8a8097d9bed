#include "engine/clean/system_path.hpp"

#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

bool is_device_path(std::u16string_view path) {
  return path.size() >= 4 && is_path_separator(path[0]) && is_path_separator(path[1]) &&
         (path[2] == u'.' || path[2] == u'?') && is_path_separator(path[3]);
}

bool is_network_path(std::u16string_view path) {
  return path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1]) && !is_device_path(path);
}

std::u16string extended_length_form(std::u16string_view full) {
  if (is_extended_length(full) || is_nt_object_path(full) || is_device_path(full)) return std::u16string(full);
  if (is_network_path(full)) return u"\\\\?\\UNC\\" + std::u16string(full.substr(2));
  if (is_absolute_path(full)) return u"\\\\?\\" + std::u16string(full);
  // A resolver gives absolute paths; anything else is handed on as it came.
  return std::u16string(full);
}

}  // namespace

Result<std::u16string, FsError> system_path(std::u16string_view path, const FullPathResolver& full_path) {
  if (path.find(u'\0') != std::u16string_view::npos) return Err{FsError{}};
  if (is_extended_length(path) || is_nt_object_path(path)) return std::u16string(path);
  if (path.size() + 1 < extended_length_threshold && is_absolute_path(path)) return std::u16string(path);
  auto full = full_path(path);
  if (!full) return Err{full.error()};
  return extended_length_form(full.value());
}

}  // namespace tarnwick::clean

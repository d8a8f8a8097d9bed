#pragma once

// Windows path syntax as plain text: which form a path has and where its
// prefix and components lie, the way Win32's own path handling reads them.
// No system call is made here.

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarnwick::win {

constexpr bool is_path_separator(char16_t c) { return c == u'\\' || c == u'/'; }

// A drive letter and its colon ("C:"), whatever follows.
bool starts_with_drive(std::u16string_view path);

// The form of a path, read from its first characters.
enum class PathForm {
  Relative,        // "Windows", "..\x", "": from the current directory
  Rooted,          // "\Windows", "/Windows": from the current drive's root
  DriveRelative,   // "C:", "C:Windows": from drive C's current directory
  DriveAbsolute,   // "C:\Windows", "C:/Windows"
  ExtendedDrive,   // "\\?\C:\...": a drive path in extended-length form
  ExtendedLength,  // any other "\\?\..." ("\\?\UNC\server\share", "\\?\Volume{..}", "\\?\C:")
  NtObject,        // "\??\...": the object manager's form
  Device,          // "\\.\COM1", "//./x", "\\?/x": two separators, "." or "?", a separator
  Unc,             // "\\server\share": any other path that starts with two separators
};

PathForm path_form(std::u16string_view path);

// The forms the system takes literally: only the backslash separates their
// components, and a forward slash is part of a name.
constexpr bool is_literal(PathForm form) {
  return form == PathForm::ExtendedDrive || form == PathForm::ExtendedLength || form == PathForm::NtObject;
}

// Whether the path names the same place whatever the current directory and
// drive: every form but Relative, Rooted and DriveRelative.
constexpr bool is_absolute(PathForm form) {
  return form != PathForm::Relative && form != PathForm::Rooted && form != PathForm::DriveRelative;
}

// The length of the part before the root: the drive ("C:"), the server and
// share ("\\server\share"), the device ("\\.\COM1"), and for the literal
// forms their marker with what it names ("\\?\C:", "\\?\UNC\server\share",
// "\??\GLOBALROOT"). 0 for relative and rooted paths.
std::size_t prefix_length(std::u16string_view path);

// One component after the prefix: a non-empty name between separators.
struct PathComponent {
  std::size_t position = 0;
  std::u16string_view name;
};

// The components after the prefix, in order; runs of separators are passed
// over. In the literal forms only the backslash separates.
class PathComponents {
 public:
  explicit PathComponents(std::u16string_view path);
  std::optional<PathComponent> next();

 private:
  std::u16string_view path_;
  bool literal_;
  std::size_t position_;
};

// The text after the last separator of either kind, or after the drive of a
// path like "C:name"; empty when the path ends in a separator or a drive.
std::u16string_view final_component_text(std::u16string_view path);

}  // namespace tarnwick::win

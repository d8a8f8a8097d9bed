#pragma once

// The cleaning engine's rules over Windows path syntax (which itself is read
// in platform/windows_path_syntax.hpp): no system call is made here.

#include <optional>
#include <string>
#include <string_view>

#include "platform/windows_path_syntax.hpp"

namespace tarnwick::clean {

using win::is_path_separator;

// `\\?\`: the extended-length form, which the system takes literally.
bool is_extended_length(std::u16string_view path);

// `\??\`: the NT object-manager form, also taken literally.
bool is_nt_object_path(std::u16string_view path);

// Whether the path names the same place whatever the current directory and
// drive: a drive letter with its colon and a separator ("C:\", "C:/"), or two
// leading separators (network, device and extended-length paths), or `\??\`.
// "C:", "C:Windows", "\Windows" and "Windows" are not.
bool is_absolute_path(std::u16string_view path);

// Appends `tail` to `base`: a backslash goes between them unless `base` is
// empty, already ends in a separator, or is a bare drive ("C:"). The tail is
// kept as written, except that a base in extended-length form gets its
// forward slashes turned into backslashes (that form takes no forward slash).
std::u16string join_path(std::u16string_view base, std::u16string_view tail);

// Where the first component that Win32 path handling would rewrite begins:
// a name that ends in a dot or a space (other than "." and ".."), which
// Windows trims, so that "x." would name "x" and "..." or ".. " the folder
// that holds it. npos when there is none. Paths in the literal forms are
// taken as written and never have one.
std::size_t first_rewritten_component(std::u16string_view path);

// The last component of the path when it is an ordinary name: not a drive,
// server, share or other prefix, not the root, not "." or "..". Trailing
// separators and "." components are passed over.
std::optional<std::u16string_view> last_ordinary_component(std::u16string_view path);

}  // namespace tarnwick::clean

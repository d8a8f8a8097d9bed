#include "elevate/response/response_path_rules.hpp"

#include <array>

#include "platform/windows_path_syntax.hpp"

namespace tarnwick {
namespace {

char16_t ascii_upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool equals_ignoring_ascii_case(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  }
  return true;
}

// Names that Win32 maps to a device in any folder, whatever extension
// follows. The superscript digits and the console names are mapped too.
bool is_dos_device_name(std::u16string_view base) {
  static constexpr std::array<std::u16string_view, 6> kPlain = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  for (const auto name : kPlain) {
    if (equals_ignoring_ascii_case(base, name)) return true;
  }
  if (base.size() != 4) return false;
  const std::u16string_view stem = base.substr(0, 3);
  if (!equals_ignoring_ascii_case(stem, u"COM") && !equals_ignoring_ascii_case(stem, u"LPT")) return false;
  const char16_t digit = base[3];
  return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

// The last component, with its extension and the blanks Win32 trims before
// an extension taken away: "nul .txt" names the device NUL.
std::u16string_view device_candidate(std::u16string_view path) {
  std::u16string_view base = win::final_component_text(path);
  base = base.substr(0, base.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  return base;
}

// "\\." and "\\?" alone: the root of the device namespace.
bool is_device_namespace_root(std::u16string_view path) {
  return path.size() == 3 && win::path_form(path) == win::PathForm::Unc && (path[2] == u'.' || path[2] == u'?');
}

// "/??/" and its mixes: not the object manager's form (that takes only
// backslashes), but a name no response file has.
bool looks_like_nt_object_path(std::u16string_view path) {
  return path.size() >= 4 && win::is_path_separator(path[0]) && path[1] == u'?' && path[2] == u'?' &&
         win::is_path_separator(path[3]);
}

}  // namespace

ResponsePathRefusal response_path_refusal(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) return ResponsePathRefusal::EmbeddedNul;

  std::u16string_view local = path;
  switch (win::path_form(path)) {
    case win::PathForm::ExtendedDrive:
      local = path.substr(4);  // a path below a drive's root, the only file path of that form
      break;
    case win::PathForm::ExtendedLength:  // \\?\C: alone is the volume itself
    case win::PathForm::NtObject:
    case win::PathForm::Device:
      return ResponsePathRefusal::DeviceNamespace;
    case win::PathForm::Unc:
      return is_device_namespace_root(path) ? ResponsePathRefusal::DeviceNamespace : ResponsePathRefusal::NetworkPath;
    case win::PathForm::Rooted:
      if (looks_like_nt_object_path(path)) return ResponsePathRefusal::DeviceNamespace;
      break;
    case win::PathForm::Relative:
    case win::PathForm::DriveRelative:
    case win::PathForm::DriveAbsolute:
      break;
  }

  const std::size_t first_colon = local.find(u':');
  if (first_colon != std::u16string_view::npos &&
      (first_colon != 1 || !win::starts_with_drive(local) || local.find(u':', 2) != std::u16string_view::npos)) {
    return ResponsePathRefusal::AlternateStream;
  }

  if (is_dos_device_name(device_candidate(local))) return ResponsePathRefusal::DeviceName;
  return ResponsePathRefusal::None;
}

bool response_file_acceptable(const ResponseFileFacts& facts) {
  return facts.disk_file && !facts.directory && !facts.reparse_point && facts.link_count == 1;
}

}  // namespace tarnwick

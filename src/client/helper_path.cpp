#include "client/helper_path.hpp"

#include "common/utf.hpp"

namespace tarnwick::client {
namespace {

bool is_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool is_drive_root(std::u16string_view text) {
  return text.size() >= 3 && is_letter(text[0]) && text[1] == u':' && (text[2] == u'\\' || text[2] == u'/');
}

std::string letter_text(char16_t letter) { return std::string(1, static_cast<char>(letter)) + ":"; }

}  // namespace

bool is_full_path(std::u16string_view path) {
  if (is_drive_root(path)) return true;
  // "\\server\share\..." and the "\\?\" and "\\.\" forms; a single leading
  // separator is relative to the current drive.
  return path.size() > 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/');
}

std::optional<char16_t> drive_letter(std::u16string_view full_path) {
  if (full_path.starts_with(u"\\\\?\\")) full_path.remove_prefix(4);
  if (!is_drive_root(full_path)) return std::nullopt;
  const char16_t letter = full_path[0];
  return letter >= u'a' ? static_cast<char16_t>(letter - u'a' + u'A') : letter;
}

std::optional<std::string> refuse_drive_targets(char16_t letter, const DriveTargets& targets) {
  const std::string drive = letter_text(letter);
  if (!targets.seen) return "drive " + drive + " is not defined";
  if (targets.single_map) {
    if (targets.seen->starts_with(u"\\Device\\")) return std::nullopt;
    return "drive " + drive + " stands for " + utf16_to_utf8_lossy(*targets.seen) +
           ", not for a device of its own (a subst drive)";
  }
  if (!targets.global) {
    return "drive " + drive + " is defined for this user only (subst, a mapped network drive), not for the machine";
  }
  if (*targets.seen != *targets.global) {
    return "drive " + drive + " stands for " + utf16_to_utf8_lossy(*targets.seen) + " for this user but for " +
           utf16_to_utf8_lossy(*targets.global) + " for the machine";
  }
  return std::nullopt;
}

}  // namespace tarnwick::client

#include "platform/os_error_text.hpp"

#include <utility>

#include "common/utf.hpp"

namespace tarnwick::win {
namespace {

// Unicode White_Space; all of it lies in the Basic Multilingual Plane.
bool is_white_space(char16_t unit) {
  return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0x85 || unit == 0xA0 || unit == 0x1680 ||
         (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 || unit == 0x2029 || unit == 0x202F || unit == 0x205F ||
         unit == 0x3000;
}

std::string system_message_text(std::uint32_t code, const SystemMessage& message) {
  if (!message) {
    return "OS Error " + std::to_string(code) + " (FormatMessageW() returned error " + std::to_string(message.error()) +
           ")";
  }
  std::u16string_view units = message.value();
  while (!units.empty() && is_white_space(units.back())) units.remove_suffix(1);
  auto text = utf16_to_utf8(units);
  if (!text) return "OS Error " + std::to_string(code) + " (FormatMessageW() returned invalid UTF-16)";
  return std::move(*text);
}

}  // namespace

std::string compose_os_error_text(std::uint32_t code, const SystemMessage& message) {
  return system_message_text(code, message) + " (os error " + std::to_string(code) + ")";
}

}  // namespace tarnwick::win

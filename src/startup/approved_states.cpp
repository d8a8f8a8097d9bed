#include "startup/approved_states.hpp"

#include <utility>

#include "common/utf.hpp"

namespace tarnwick {

char16_t ascii_upcase(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
}

std::u16string ApprovedStates::key(std::u16string_view name) const {
  std::u16string folded(name);
  for (char16_t& unit : folded) unit = upcase_(unit);
  return folded;
}

void ApprovedStates::add(std::u16string_view name, Bytes data) { values_.emplace(key(name), std::move(data)); }

const Bytes* ApprovedStates::find(std::string_view name) const {
  if (name.find('\0') != std::string_view::npos) return nullptr;
  const auto wide = utf8_to_utf16(name);
  if (!wide) return nullptr;
  const auto found = values_.find(key(*wide));
  return found == values_.end() ? nullptr : &found->second;
}

}  // namespace tarnwick

#include "startup/registry_value_text.hpp"

#include "common/utf.hpp"

namespace tarnwick {
namespace {

std::u16string utf16_units(std::span<const std::uint8_t> data) {
  std::u16string units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return units;
}

std::string string_text(std::span<const std::uint8_t> data, bool multi) {
  std::u16string units = utf16_units(data);
  const std::size_t end = units.find_last_not_of(u'\0');
  units.resize(end == std::u16string::npos ? 0 : end + 1);
  std::string text = utf16_to_utf8_lossy(units);
  if (multi) {
    for (char& c : text) {
      if (c == '\0') c = '\n';  // UTF-8 never holds a zero byte inside a longer sequence
    }
  }
  return text;
}

std::uint64_t little_endian(std::span<const std::uint8_t> data) {
  std::uint64_t value = 0;
  for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

std::string byte_list(std::span<const std::uint8_t> data) {
  std::string text = "[";
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i != 0) text += ", ";
    text += std::to_string(data[i]);
  }
  text += ']';
  return text;
}

}  // namespace

std::optional<std::string> registry_value_text(std::uint32_t type, std::span<const std::uint8_t> data) {
  switch (type) {
    case kRegSz:
    case kRegExpandSz:
      return string_text(data, false);
    case kRegMultiSz:
      return string_text(data, true);
    case kRegDword:
      if (data.size() == 4) return std::to_string(little_endian(data));
      return byte_list(data);
    case kRegQword:
      if (data.size() == 8) return std::to_string(little_endian(data));
      return byte_list(data);
    case kRegNone:
    case kRegBinary:
    case kRegDwordBigEndian:
    case kRegLink:
    case kRegResourceList:
    case kRegFullResourceDescriptor:
    case kRegResourceRequirementsList:
      return byte_list(data);
    default:
      return std::nullopt;
  }
}

}  // namespace tarnwick

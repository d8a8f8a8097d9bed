#include "elevate/request/json/utf8_check.hpp"

#include <cstdint>
#include <cstring>

namespace tarnwick::json {
namespace {

bool continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Allowed range of the second byte after a lead byte (Unicode Table 3-7);
// the range excludes overlong forms, surrogates and code points past U+10FFFF.
struct SecondByte {
  std::uint8_t low;
  std::uint8_t high;
};

SecondByte second_byte_range(std::uint8_t lead) {
  switch (lead) {
    case 0xE0:
      return {0xA0, 0xBF};
    case 0xED:
      return {0x80, 0x9F};
    case 0xF0:
      return {0x90, 0xBF};
    case 0xF4:
      return {0x80, 0x8F};
    default:
      return {0x80, 0xBF};
  }
}

// Sequence length announced by a lead byte; 0 for a byte that cannot begin one.
std::size_t sequence_length(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::optional<Utf8Fault> find_utf8_fault(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Runs of ASCII, eight bytes at a time.
    while (i + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      if (word & 0x8080808080808080u) break;
      i += 8;
    }
    if (i == size) break;
    const std::uint8_t lead = bytes[i];
    const std::size_t length = sequence_length(lead);
    if (length == 1) {
      ++i;
      continue;
    }
    if (length == 0) return Utf8Fault{i, 1};
    // Check the following bytes one by one; the first one missing or not
    // allowed ends the maximal subpart.
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k == size) return Utf8Fault{i, 0};
      const std::uint8_t b = bytes[i + k];
      const bool allowed =
          k == 1 ? (b >= second_byte_range(lead).low && b <= second_byte_range(lead).high) : continuation(b);
      if (!allowed) return Utf8Fault{i, k};
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace tarnwick::json

#include "elevate/request/hex_payload.hpp"

#include <array>
#include <cstdint>
#include <string>

#include "common/hex.hpp"
#include "wire/protocol.hpp"

namespace tarnwick {
namespace {

constexpr std::uint8_t kNotDigit = 0xFF;

constexpr std::array<std::uint8_t, 256> make_digit_values() {
  std::array<std::uint8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    const int value = hex_digit_value(static_cast<unsigned char>(c));
    values[c] = value < 0 ? kNotDigit : static_cast<std::uint8_t>(value);
  }
  return values;
}

constexpr std::array<std::uint8_t, 256> kDigitValue = make_digit_values();

}  // namespace

Result<std::string> payload_from_hex(std::string_view request_text) {
  if (request_text.size() % 2 != 0) return error_text(std::string(wire::kRefusalBadPayload) + "odd hex length");
  std::string payload(request_text.size() / 2, '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(request_text.data());
  for (std::size_t i = 0; i < payload.size(); ++i) {
    const unsigned char first = in[2 * i];
    const std::uint8_t low = kDigitValue[in[2 * i + 1]];
    const std::uint8_t high = kDigitValue[first];
    if (low == kNotDigit || (high == kNotDigit && first != '+')) {
      // A non-ASCII byte is never a digit, so a pair holding any byte of a
      // multi-byte character is refused here too.
      return error_text(std::string(wire::kRefusalBadPayload) + "invalid digit found in string");
    }
    payload[i] = static_cast<char>(high == kNotDigit ? low : high * 16 + low);
  }
  return payload;
}

}  // namespace tarnwick

#include "elevate/request/json/number_value.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tarnwick::json {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal exponent of the first significant digit (0 for 1.5, -3 for 0.0012,
// 2 for 1e2), saturated far beyond the range of a double. Only its sign is
// used: to tell a number too large for a double from one too small.
long long leading_exponent(std::string_view digits_and_rest) {
  std::size_t i = 0;
  std::size_t integer_digits = 0;
  while (i < digits_and_rest.size() && is_digit(digits_and_rest[i])) {
    ++i;
    ++integer_digits;
  }
  long long exponent = 0;
  bool nonzero_integer = !(integer_digits == 1 && digits_and_rest[0] == '0');
  long long leading = nonzero_integer ? static_cast<long long>(integer_digits) - 1 : 0;
  if (i < digits_and_rest.size() && digits_and_rest[i] == '.') {
    ++i;
    long long zeros = 0;
    while (i < digits_and_rest.size() && digits_and_rest[i] == '0') {
      ++i;
      ++zeros;
    }
    if (!nonzero_integer) leading = -(zeros + 1);
    while (i < digits_and_rest.size() && is_digit(digits_and_rest[i])) ++i;
  }
  if (i < digits_and_rest.size()) {  // exponent mark
    ++i;
    bool negative = false;
    if (digits_and_rest[i] == '+' || digits_and_rest[i] == '-') negative = digits_and_rest[i++] == '-';
    constexpr long long kSaturated = 1LL << 40;
    for (; i < digits_and_rest.size() && exponent < kSaturated; ++i)
      exponent = exponent * 10 + (digits_and_rest[i] - '0');
    if (negative) exponent = -exponent;
  }
  return leading + exponent;
}

std::optional<NumberValue> double_value(std::string_view text, bool negative) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc{} && end == text.data() + text.size()) return NumberValue{value};
  // from_chars reports both overflow and underflow as out of range.
  if (leading_exponent(text.substr(negative ? 1 : 0)) >= 0) return std::nullopt;
  return NumberValue{negative ? -0.0 : 0.0};
}

}  // namespace

std::optional<NumberValue> number_value(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.find_first_of(".eE") == std::string_view::npos) {
    std::uint64_t magnitude = 0;
    bool fits = true;
    for (const char c : digits) {
      const auto digit = static_cast<std::uint64_t>(c - '0');
      if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
        fits = false;
        break;
      }
      magnitude = magnitude * 10 + digit;
    }
    if (fits && !negative) return NumberValue{magnitude};
    constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;  // of INT64_MIN
    if (fits && magnitude != 0 && magnitude <= kMinMagnitude) {
      return NumberValue{magnitude == kMinMagnitude ? std::numeric_limits<std::int64_t>::min()
                                                    : -static_cast<std::int64_t>(magnitude)};
    }
  }
  return double_value(text, negative);
}

std::string float_text(double value) {
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  // Shortest round-trip digits, in the form [-]d[.ddd]e(+|-)xx.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = scientific[0] == '-';
  const std::size_t mark = scientific.find('e');
  std::string digits;
  for (const char c : scientific.substr(negative ? 1 : 0, mark - (negative ? 1 : 0))) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(mark + 1);
  const auto parsed = std::from_chars(exponent_text.data() + (exponent_text[0] == '+' ? 1 : 0),
                                      exponent_text.data() + exponent_text.size(), exponent);
  (void)parsed;  // to_chars wrote it: always a valid decimal

  // k: the number of digits before the decimal point, 10^(k-1) <= |value| < 10^k.
  const int k = exponent + 1;
  const int n = static_cast<int>(digits.size());
  std::string out = negative ? "-" : "";
  if (n <= k && k <= 16) {
    out += digits;
    out.append(static_cast<std::size_t>(k - n), '0');
    out += ".0";
  } else if (0 < k && k <= 16) {
    out.append(digits, 0, static_cast<std::size_t>(k));
    out += '.';
    out.append(digits, static_cast<std::size_t>(k));
  } else if (-5 < k && k <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-k), '0');
    out += digits;
  } else {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    out += std::to_string(k - 1);
  }
  return out;
}

}  // namespace tarnwick::json

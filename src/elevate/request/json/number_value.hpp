#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tarnwick::json {

// A JSON number as the request reader holds it: an unsigned integer when it
// has no fraction or exponent, is not negative and fits; a signed integer when
// it has no fraction or exponent, is negative (not minus zero) and fits; a
// double otherwise.
using NumberValue = std::variant<std::uint64_t, std::int64_t, double>;

// `text` must be a well-formed JSON number. The double is correctly rounded;
// a magnitude that rounds past the largest finite double gives nullopt, one
// that rounds below the smallest subnormal gives a zero of the number's sign.
std::optional<NumberValue> number_value(std::string_view text);

// The shortest decimal that reads back as `value`, written the way refusal
// texts show floating point values: 1000.0, 12.5, 0.001, 1e20, 1.5e-7, -0.0.
// `value` must be finite.
std::string float_text(double value);

}  // namespace tarnwick::json

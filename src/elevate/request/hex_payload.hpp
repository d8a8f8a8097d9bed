#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"

namespace tarnwick {

// First layer of a request: the hexadecimal request text to its payload bytes.
// Each pair of bytes gives one payload byte: two hexadecimal digits (either
// case), or a plus sign and one digit ("+a" is 0x0A, as an integer parser that
// allows a sign reads it). Refusals are the "bad request payload: " texts.
Result<std::string> payload_from_hex(std::string_view request_text);

}  // namespace tarnwick

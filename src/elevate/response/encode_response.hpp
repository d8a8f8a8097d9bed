#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "elevate/dispatch/action_result.hpp"
#include "wire/protocol.hpp"

namespace tarnwick {

// Written in place of a response that cannot be encoded.
using wire::kFallbackResponse;

// The response envelope as compact JSON bytes: "status" first, then "data"
// or "error". Fails when the text is not valid UTF-8 or a number is NaN or
// infinite (the error says why).
Result<std::string> encode_response(const ActionResult& result);

// encode_response, or the fallback text when it fails.
std::string response_bytes(const ActionResult& result);

}  // namespace tarnwick

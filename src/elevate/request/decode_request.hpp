#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "elevate/request/request.hpp"

namespace tarnwick {

// Request text (hex of a UTF-8 JSON document) to a request, or the refusal
// text that becomes the response's "error". Never throws but for exhausted
// memory; has no other effect.
Result<HelperRequest> decode_request(std::string_view request_text);

}  // namespace tarnwick

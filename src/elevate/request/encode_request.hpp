#pragma once

#include <string>

#include "elevate/request/request.hpp"

namespace tarnwick {

// A request in the plain form the desktop app writes, compact:
// {"action":{"action":"clean-system"}}, and for startup-hklm-set
// {"action":{"action":"startup-hklm-set","args":{"name":"Tool","enabled":false}}}.
// The name is written as it is, with the double quote, the backslash and
// U+0000 to U+001F escaped.
std::string request_document(const HelperRequest& request);

// The request text of request_document: the inverse of decode_request, which
// gives back the same request for every name that is UTF-8 text (and refuses
// the text of any other).
std::string encode_request(const HelperRequest& request);

}  // namespace tarnwick

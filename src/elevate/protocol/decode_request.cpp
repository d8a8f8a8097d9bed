#include "elevate/protocol/decode_request.hpp"

namespace tarnwick {

// Placeholder until the decoder lands: refuses everything.
Result<HelperRequest> decode_request(std::string_view) {
  return error_text("bad request payload: decoder not built yet");
}

}  // namespace tarnwick

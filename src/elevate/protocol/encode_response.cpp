#include "elevate/protocol/encode_response.hpp"

#include <exception>

namespace tarnwick {
namespace {

// nlohmann's compact writer escapes exactly ", \, the named controls and the
// other bytes below 0x20 as \u00xx, and passes everything else through raw;
// with the strict handler it refuses invalid UTF-8 with type_error 316.
void append_json(std::string& out, const nlohmann::json& value) {
  out += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

}  // namespace

Result<std::string> encode_response(const ActionResult& result) {
  std::string out;
  out.reserve(128);
  try {
    // The envelope is written field by field so that "status" comes first.
    if (result.is_error()) {
      out += R"({"status":"err","error":)";
      append_json(out, nlohmann::json(result.error_message()));
    } else {
      out += R"({"status":"ok","data":)";
      append_json(out, result.data_value());
    }
  } catch (const nlohmann::json::exception& e) {
    return error_text(e.what());
  }
  out += '}';
  return out;
}

std::string response_bytes(const ActionResult& result) {
  auto encoded = encode_response(result);
  if (encoded) return std::move(encoded).value();
  return std::string(kFallbackResponse);
}

}  // namespace tarnwick

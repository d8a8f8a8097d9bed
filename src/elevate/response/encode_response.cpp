#include "elevate/response/encode_response.hpp"

#include <exception>

#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

// The error message as a JSON string, written by the same writer as the
// data (see response_data.cpp): invalid UTF-8 throws type_error 316.
void append_json_string(std::string& out, const std::string& text) {
  out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

}  // namespace

Result<std::string> encode_response(const ActionResult& result) {
  std::string out;
  out.reserve(128);
  // The envelope is written field by field so that "status" comes first.
  if (result.is_error()) {
    out += wire::kErrEnvelopeStart;
    try {
      append_json_string(out, result.error_message());
    } catch (const nlohmann::json::exception& e) {
      return error_text(e.what());
    }
  } else {
    const Result<std::string>& data = result.data_value().json_text();
    if (!data) return error_text(data.error());
    out += wire::kOkEnvelopeStart;
    out += data.value();
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

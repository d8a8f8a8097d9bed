#include "elevate/response/encode_response.hpp"

#include <cmath>
#include <exception>
#include <vector>

namespace tarnwick {
namespace {

// nlohmann writes NaN and the infinities as null, which would read back as a
// different value; such data is not encoded at all. An explicit work list: the
// value's depth is not bounded here.
bool has_non_finite_number(const nlohmann::json& value) {
  std::vector<const nlohmann::json*> pending{&value};
  while (!pending.empty()) {
    const nlohmann::json& v = *pending.back();
    pending.pop_back();
    if (v.is_number_float() && !std::isfinite(v.get<double>())) return true;
    if (v.is_structured()) {
      for (const nlohmann::json& member : v) pending.push_back(&member);
    }
  }
  return false;
}

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
      out += wire::kErrEnvelopeStart;
      append_json(out, nlohmann::json(result.error_message()));
    } else {
      if (has_non_finite_number(result.data_value()))
        return error_text("response data holds a number that is not finite");
      out += wire::kOkEnvelopeStart;
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

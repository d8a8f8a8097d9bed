#include "elevate/dispatch/response_data.hpp"

#include <cmath>
#include <exception>
#include <vector>

#include <nlohmann/json.hpp>

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

}  // namespace

// nlohmann's compact writer escapes exactly ", \, the named controls and the
// other bytes below 0x20 as \u00xx, and passes everything else through raw;
// with the strict handler it refuses invalid UTF-8 with type_error 316.
template <class Json>
ResponseData ResponseData::from_json(const Json& value) {
  if (has_non_finite_number(value)) return ResponseData(error_text("response data holds a number that is not finite"));
  try {
    return ResponseData(value.dump(-1, ' ', false, Json::error_handler_t::strict));
  } catch (const typename Json::exception& e) {
    return ResponseData(error_text(e.what()));
  }
}

template ResponseData ResponseData::from_json<nlohmann::json>(const nlohmann::json& value);

}  // namespace tarnwick

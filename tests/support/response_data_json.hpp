#pragma once

// Tests' side of ResponseData: results made from any JSON value, and the
// data's text read back (or a text that says why there is none).

#include <nlohmann/json.hpp>

#include <string>

#include "elevate/dispatch/action_result.hpp"

namespace tarnwick::test {

inline ActionResult data_result(const nlohmann::json& value) {
  return ActionResult::data(ResponseData::from_json(value));
}

inline std::string data_text(const ActionResult& result) {
  const Result<std::string>& text = result.data_value().json_text();
  return text ? text.value() : "<no JSON text: " + text.error() + ">";
}

inline std::string data_text(const ResponseData& data) {
  return data.json_text() ? data.json_text().value() : "<no JSON text: " + data.json_text().error() + ">";
}

}  // namespace tarnwick::test

#pragma once

#include <string>
#include <utility>
#include <variant>

#include "elevate/dispatch/response_data.hpp"

namespace tarnwick {

// Outcome of one request: the response's "data" (its JSON text, made by
// ResponseData) or its "error" (a UTF-8 message). Exactly one of the two.
class ActionResult {
 public:
  static ActionResult data(ResponseData value) { return ActionResult(std::move(value)); }
  static ActionResult error(std::string message) { return ActionResult(std::move(message)); }

  bool is_error() const noexcept { return std::holds_alternative<std::string>(state_); }
  const ResponseData& data_value() const { return std::get<ResponseData>(state_); }
  const std::string& error_message() const { return std::get<std::string>(state_); }

 private:
  explicit ActionResult(ResponseData value) : state_(std::in_place_index<0>, std::move(value)) {}
  explicit ActionResult(std::string message) : state_(std::in_place_index<1>, std::move(message)) {}
  std::variant<ResponseData, std::string> state_;
};

}  // namespace tarnwick

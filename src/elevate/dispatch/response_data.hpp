#pragma once

// The "data" of a successful response, held as the compact JSON text it goes
// on the wire as. The text is written once, when the value is made, so that
// only the files that make values see the JSON library.

#include <string>
#include <utility>

#include "common/result.hpp"

namespace tarnwick {

class ResponseData {
 public:
  // The compact JSON text of a document value of the helper's JSON library
  // (defined, and instantiated for that type, in response_data.cpp). A text
  // or key that is not valid UTF-8, or a number that is NaN or infinite,
  // gives no text but the reason instead.
  template <class Json>
  static ResponseData from_json(const Json& value);

  // The text, or why there is none.
  const Result<std::string>& json_text() const noexcept { return text_; }

 private:
  explicit ResponseData(Result<std::string> text) : text_(std::move(text)) {}
  Result<std::string> text_;
};

}  // namespace tarnwick

#pragma once

#include <string>
#include <string_view>
#include <variant>

#include <gtest/gtest.h>

#include "elevate/request/decode_request.hpp"
#include "elevate/request/encode_request.hpp"
#include "support/hex.hpp"

namespace tarnwick::test {

// What decode_request makes of a request text, as one comparable text: the
// refusal as it is, or "accepted " and the action with its fields. Every
// accepted request is also written again with encode_request, which must
// decode to the same request.
inline std::string decode_outcome_of_text(std::string_view request_text) {
  auto decoded = decode_request(request_text);
  if (!decoded) return decoded.error();
  const std::string document = request_document(decoded.value());
  auto again = decode_request(encode_request(decoded.value()));
  EXPECT_TRUE(again.ok() && request_document(again.value()) == document) << document;
  const HelperAction& action = decoded.value().action;
  std::string out = std::string("accepted ") + wire_name(action);
  if (const auto* set = std::get_if<StartupHklmSet>(&action)) {
    out += " name=[" + set->name + "] enabled=" + (set->enabled ? "true" : "false");
  }
  return out;
}

// The same for a JSON document, sent as its hexadecimal request text.
inline std::string decode_outcome(std::string_view document) { return decode_outcome_of_text(hex_of(document)); }

// A refusal of the JSON layer: "bad request json: " and the message.
inline std::string json_refusal(std::string_view message) { return "bad request json: " + std::string(message); }

// One row of a table of refused documents.
struct Refused {
  std::string document;
  std::string message;  // after "bad request json: "
};

inline void expect_refused(const Refused& c) {
  EXPECT_EQ(decode_outcome(c.document), json_refusal(c.message)) << c.document;
}

}  // namespace tarnwick::test

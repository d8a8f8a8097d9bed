#include "elevate/request/decode_request.hpp"

#include "elevate/request/hex_payload.hpp"
#include "elevate/request/request_reader.hpp"
#include "elevate/request/json/utf8_check.hpp"
#include "wire/protocol.hpp"

namespace tarnwick {
namespace {

std::string utf8_refusal(const json::Utf8Fault& fault) {
  if (fault.length == 0) {
    return std::string(wire::kRefusalBadPayload) + "incomplete utf-8 byte sequence from index " +
           std::to_string(fault.index);
  }
  return std::string(wire::kRefusalBadPayload) + "invalid utf-8 sequence of " + std::to_string(fault.length) +
         " bytes from index " + std::to_string(fault.index);
}

std::string json_refusal(std::string_view text, const json::ReadError& error) {
  // Line and column are worked out only now, from the offset alone.
  const json::TextPosition position = json::position_of(text, error.offset);
  return std::string(wire::kRefusalBadJson) + error.message + " at line " + std::to_string(position.line) + " column " +
         std::to_string(position.column);
}

}  // namespace

// Three layers, each refusing with its own text and stopping the rest:
// hexadecimal text to payload bytes, bytes to UTF-8 text, text to request.
Result<HelperRequest> decode_request(std::string_view request_text) {
  auto payload = payload_from_hex(request_text);
  if (!payload) return Err{std::move(payload).error()};
  const std::string& text = payload.value();
  if (const auto fault = json::find_utf8_fault(text)) return error_text(utf8_refusal(*fault));
  RequestReader reader(text);
  HelperRequest request;
  if (!reader.read(request)) return error_text(json_refusal(text, reader.error()));
  return request;
}

}  // namespace tarnwick

#include "elevate/request/encode_request.hpp"

#include <string_view>

#include "common/hex.hpp"

namespace tarnwick {
namespace {

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += hex_digit(byte >> 4);
      out += hex_digit(byte);
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace

std::string request_document(const HelperRequest& request) {
  std::string document = R"({"action":{"action":)";
  append_json_string(document, wire_name(request.action));
  if (const auto* set = std::get_if<StartupHklmSet>(&request.action)) {
    document += R"(,"args":{"name":)";
    append_json_string(document, set->name);
    document += set->enabled ? R"(,"enabled":true})" : R"(,"enabled":false})";
  }
  document += "}}";
  return document;
}

std::string encode_request(const HelperRequest& request) { return hex_of(request_document(request)); }

}  // namespace tarnwick

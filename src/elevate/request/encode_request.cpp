#include "elevate/request/encode_request.hpp"

#include <string_view>

#include "common/hex.hpp"
#include "wire/protocol.hpp"

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

// `"key":`
void append_key(std::string& out, std::string_view key) {
  append_json_string(out, key);
  out += ':';
}

}  // namespace

std::string request_document(const HelperRequest& request) {
  std::string document = "{";
  append_key(document, wire::kMemberAction);
  document += '{';
  append_key(document, wire::kMemberAction);
  append_json_string(document, wire_name(request.action));
  if (const auto* set = std::get_if<StartupHklmSet>(&request.action)) {
    document += ',';
    append_key(document, wire::kMemberArgs);
    document += '{';
    append_key(document, wire::kMemberName);
    append_json_string(document, set->name);
    document += ',';
    append_key(document, wire::kMemberEnabled);
    document += set->enabled ? "true}" : "false}";
  }
  document += "}}";
  return document;
}

std::string encode_request(const HelperRequest& request) { return hex_of(request_document(request)); }

}  // namespace tarnwick

// libFuzzer target for decode_request. Each input is decoded twice: as a
// request text as it is (the hexadecimal and UTF-8 layers), and as the JSON
// document whose hexadecimal text is sent (the JSON reader). Checked besides
// the sanitizers: every refusal has one of the two prefixes and a JSON
// refusal ends in a position within the text; every accepted request,
// written again in the plain form, decodes to the same record.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "elevate/protocol/decode_request.hpp"

namespace {

using tarnwick::HelperRequest;
using tarnwick::StartupHklmSet;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "decode_request invariant broken: %s\n", what);
    std::abort();
  }
}

std::string hex_of(std::string_view bytes) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0xF];
  }
  return out;
}

// The name as a JSON string: quote, backslash and controls escaped.
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      constexpr char kDigits[] = "0123456789abcdef";
      out += "\\u00";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string plain_form(const HelperRequest& request) {
  std::string document = R"({"action":{"action":")";
  document += tarnwick::wire_name(request.action);
  document += '"';
  if (const auto* set = std::get_if<StartupHklmSet>(&request.action)) {
    document += R"(,"args":{"name":)" + json_string(set->name) + R"(,"enabled":)" + (set->enabled ? "true" : "false") + "}";
  }
  return document + "}}";
}

bool same_request(const HelperRequest& a, const HelperRequest& b) {
  if (a.action.index() != b.action.index()) return false;
  const auto* set_a = std::get_if<StartupHklmSet>(&a.action);
  const auto* set_b = std::get_if<StartupHklmSet>(&b.action);
  return set_a == nullptr || (set_a->name == set_b->name && set_a->enabled == set_b->enabled);
}

void check_refusal(const std::string& message, std::size_t text_size) {
  constexpr std::string_view kPayload = "bad request payload: ";
  constexpr std::string_view kJson = "bad request json: ";
  const std::string_view m = message;
  if (m.substr(0, kPayload.size()) == kPayload) return;
  require(m.substr(0, kJson.size()) == kJson, "refusal prefix");
  const std::size_t at = m.rfind(" at line ");
  require(at != std::string_view::npos, "refusal position");
  unsigned long long line = 0;
  unsigned long long column = 0;
  require(std::sscanf(message.c_str() + at, " at line %llu column %llu", &line, &column) == 2, "position numbers");
  require(line >= 1 && column <= text_size, "position within the text");
}

void check(std::string_view request_text, std::size_t payload_size) {
  auto decoded = tarnwick::decode_request(request_text);
  if (!decoded) {
    check_refusal(decoded.error(), payload_size);
    return;
  }
  auto again = tarnwick::decode_request(hex_of(plain_form(decoded.value())));
  require(again.ok(), "plain form accepted");
  require(same_request(decoded.value(), again.value()), "plain form decodes to the same record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check(input, size / 2);
  check(hex_of(input), size);
  return 0;
}

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

#include "common/hex.hpp"
#include "elevate/request/decode_request.hpp"
#include "elevate/request/encode_request.hpp"

namespace {

using tarnwick::HelperRequest;
using tarnwick::StartupHklmSet;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "decode_request invariant broken: %s\n", what);
    std::abort();
  }
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
  auto again = tarnwick::decode_request(tarnwick::encode_request(decoded.value()));
  require(again.ok(), "plain form accepted");
  require(same_request(decoded.value(), again.value()), "plain form decodes to the same record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check(input, size / 2);
  check(tarnwick::hex_of(input), size);
  return 0;
}

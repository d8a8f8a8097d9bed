// decode-requests: decodes request texts in bulk, one per line of standard
// input (lines end at a line feed only; a last line without one counts), and
// prints one compact JSON line per request:
//   a refusal:  the response the helper would write, {"status":"err","error":...}
//   accepted:   {"status":"ok","data":{"action":{"action":WIRE,"args":ARGS}}}
//               with ARGS null, or {"enabled":B,"name":S} for startup-hklm-set.

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "elevate/request/decode_request.hpp"
#include "elevate/request/encode_request.hpp"
#include "elevate/response/encode_response.hpp"

namespace {

// The request in its plain form, with "args" null where the action takes none.
nlohmann::json describe(const tarnwick::HelperRequest& request) {
  nlohmann::json document = nlohmann::json::parse(tarnwick::request_document(request));
  nlohmann::json& action = document["action"];
  if (!action.contains("args")) action["args"] = nullptr;
  return document;
}

void decode_line(const std::string& line) {
  auto decoded = tarnwick::decode_request(line);
  const auto result = decoded
                          ? tarnwick::ActionResult::data(tarnwick::ResponseData::from_json(describe(decoded.value())))
                          : tarnwick::ActionResult::error(decoded.error());
  const std::string bytes = tarnwick::response_bytes(result);
  // A failed write stays on the stream's error flag, which main checks.
  (void)std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  (void)std::fputc('\n', stdout);
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    decode_line(input.substr(start, end - start));
    start = end + 1;
  }
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
}

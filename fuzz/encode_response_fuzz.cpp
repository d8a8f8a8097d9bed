// libFuzzer target for the response encoder. The input is a small program
// that builds an ActionResult: byte 0 chooses an error (the rest of the input
// is its message) or data, whose value the remaining bytes build, one
// operation per byte: null, a boolean, an unsigned, signed or floating-point
// number (the next 8 bytes), a string (a length byte, then its bytes), the
// start of an array or object, or the end of the innermost one. A value
// inside an object takes the next string as its key (read before the value). Nesting stops at 16
// levels; the builder keeps its own stack. Checked besides the sanitizers:
// - the response is either exactly the serialize fallback, and then some
//   text or key in the result is not valid UTF-8 or some number is not
//   finite, or valid compact UTF-8 JSON that a JSON reader parses back to the
//   same value, with "status" first.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "elevate/response/encode_response.hpp"
#include "support/fuzz_check.hpp"

namespace {

using nlohmann::json;
using tarnwick::ActionResult;
using tarnwick::fuzz::require;

constexpr const char* kTarget = "encode-response-fuzz";
constexpr std::size_t kMaxDepth = 16;

void check(bool condition, const char* what) { require(condition, kTarget, what); }

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ == size_; }
  std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
  std::uint64_t word() {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | byte();
    return value;
  }
  // A length byte, then at most that many bytes.
  std::string text() {
    const std::size_t length = byte();
    return text_of(std::min(length, size_ - at_));
  }
  std::string rest() { return text_of(size_ - at_); }

 private:
  std::string text_of(std::size_t length) {
    std::string out(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return out;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// One open container and the key its value will have in its parent.
struct Open {
  json value;
  std::string key;
};

void add(std::vector<Open>& stack, std::string key, json value) {
  json& parent = stack.back().value;
  if (parent.is_object()) {
    parent[std::move(key)] = std::move(value);
  } else {
    parent.push_back(std::move(value));
  }
}

void close_innermost(std::vector<Open>& stack) {
  Open done = std::move(stack.back());
  stack.pop_back();
  add(stack, std::move(done.key), std::move(done.value));
}

// One operation other than closing a container.
void apply(Input& in, std::vector<Open>& stack, std::uint8_t op) {
  std::string key = stack.back().value.is_object() ? in.text() : std::string();
  switch (op % 10) {
    case 0:
      add(stack, std::move(key), nullptr);
      break;
    case 1:
      add(stack, std::move(key), (op & 0x80) != 0);
      break;
    case 2:
      add(stack, std::move(key), in.word());
      break;
    case 3:
      add(stack, std::move(key), static_cast<std::int64_t>(in.word()));
      break;
    case 4: {
      const std::uint64_t bits = in.word();
      double number = 0;
      std::memcpy(&number, &bits, sizeof number);
      add(stack, std::move(key), number);
      break;
    }
    case 5:
    case 6:
      add(stack, std::move(key), in.text());
      break;
    case 7:
      if (stack.size() <= kMaxDepth) stack.push_back({json::array(), std::move(key)});
      break;
    default:
      if (stack.size() <= kMaxDepth) stack.push_back({json::object(), std::move(key)});
      break;
  }
}

json build_value(Input& in) {
  // The bottom entry is an array that receives the finished value.
  std::vector<Open> stack;
  stack.push_back({json::array(), ""});
  while (!in.empty() && stack[0].value.empty()) {
    const std::uint8_t op = in.byte();
    if (op % 10 != 9) {
      apply(in, stack, op);
    } else if (stack.size() > 1) {
      close_innermost(stack);
    }
  }
  while (stack.size() > 1) close_innermost(stack);
  json& finished = stack[0].value;
  return finished.empty() ? json::object() : std::move(finished[0]);
}

// Whether every text and key is valid UTF-8 and every number finite: exactly
// the results that have a response other than the fallback.
bool encodable(const json& value) {
  std::vector<const json*> pending{&value};
  while (!pending.empty()) {
    const json* v = pending.back();
    pending.pop_back();
    if (v->is_string() && !tarnwick::fuzz::valid_utf8(v->get_ref<const std::string&>())) return false;
    if (v->is_number_float() && !std::isfinite(v->get<double>())) return false;
    if (v->is_object()) {
      for (auto it = v->begin(); it != v->end(); ++it) {
        if (!tarnwick::fuzz::valid_utf8(it.key())) return false;
        pending.push_back(&it.value());
      }
    } else if (v->is_array()) {
      for (const json& element : *v) pending.push_back(&element);
    }
  }
  return true;
}

void check_response(const ActionResult& result, const json& expected_value) {
  const std::string bytes = tarnwick::response_bytes(result);
  const auto encoded = tarnwick::encode_response(result);
  if (!encodable(expected_value)) {
    check(!encoded.ok(), "refuses what cannot be encoded");
    check(bytes == tarnwick::kFallbackResponse, "fallback is exactly the serialize response");
    return;
  }
  check(encoded.ok(), "encodes valid text and finite numbers");
  check(bytes == encoded.value(), "response is the encoding");
  check(tarnwick::fuzz::valid_utf8(bytes), "response is valid UTF-8");
  check(tarnwick::fuzz::compact_json(bytes), "response is compact");
  const json response = tarnwick::fuzz::read_response(bytes);
  check(!response.is_discarded(), "response is the JSON envelope");
  if (result.is_error()) {
    check(response["status"] == "err" && response["error"] == expected_value, "error reads back the same");
  } else {
    check(response["status"] == "ok" && response["data"] == expected_value, "data reads back the same");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  if ((in.byte() & 1) != 0) {
    std::string message = in.rest();
    const json expected = message;
    check_response(ActionResult::error(std::move(message)), expected);
  } else {
    const json value = build_value(in);
    check_response(ActionResult::data(tarnwick::ResponseData::from_json(value)), value);
  }
  return 0;
}

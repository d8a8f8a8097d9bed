// Decode throughput of request texts as long as a Windows command line
// allows (32,767 characters), counted in bytes of request text.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "common/hex.hpp"
#include "elevate/request/decode_request.hpp"

namespace {

constexpr std::size_t kCommandLineLimit = 32767;

using tarnwick::hex_of;

// A startup-hklm-set request whose ignored member "x" fills the text up to
// the command-line limit. `open` and `close` build the member's value.
std::string padded_request(std::string_view open, std::string_view filler, std::string_view close) {
  const std::string head = R"({"x":)" + std::string(open);
  const std::string tail =
      std::string(close) + R"(,"action":{"action":"startup-hklm-set","args":{"name":"Tool","enabled":false}}})";
  std::string document = head;
  const std::size_t payload_limit = kCommandLineLimit / 2;
  while (document.size() + filler.size() + tail.size() <= payload_limit) document += filler;
  return hex_of(document + tail);
}

std::string deep_request() {
  std::string document = R"({"x":)";
  const std::size_t depth = (kCommandLineLimit / 2 - 80) / 2;
  document.append(depth, '[');
  document.append(depth, ']');
  document += R"(,"action":{"action":"clean-system"}})";
  return hex_of(document);
}

void run(benchmark::State& state, const std::string& text) {
  if (!tarnwick::decode_request(text)) {
    state.SkipWithError("request refused");
    return;
  }
  for (auto _ : state) {
    auto decoded = tarnwick::decode_request(text);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["text_bytes"] = static_cast<double>(text.size());
}

void BM_DecodeLongStringMember(benchmark::State& state) {
  static const std::string text = padded_request("\"", "Lorem ipsum dolor sit amet, \\\"consectetur\\\" elit. ", "\"");
  run(state, text);
}

void BM_DecodeLongArrayMember(benchmark::State& state) {
  static const std::string text = padded_request("[0", R"(,-12.5e3,true,null,"item",{"k":[1,2]})", "]");
  run(state, text);
}

void BM_DecodeDeeplyNestedMember(benchmark::State& state) {
  static const std::string text = deep_request();
  run(state, text);
}

}  // namespace

BENCHMARK(BM_DecodeLongStringMember);
BENCHMARK(BM_DecodeLongArrayMember);
BENCHMARK(BM_DecodeDeeplyNestedMember);

BENCHMARK_MAIN();

#pragma once

// Checks shared by the fuzz targets: a broken property aborts, so that
// libFuzzer keeps the input as a finding.

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "elevate/request/json/utf8_check.hpp"

namespace tarnwick::fuzz {

inline void require(bool condition, const char* target, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s: property broken: %s\n", target, what);
    std::abort();
  }
}

inline bool valid_utf8(std::string_view bytes) { return !json::find_utf8_fault(bytes).has_value(); }

// Compact JSON: no blank, tab, carriage return or line feed outside strings
// (inside them the writer escapes every control character anyway).
inline bool compact_json(std::string_view text) {
  bool in_string = false;
  bool escaped = false;
  for (const char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      return false;
    }
  }
  return !in_string;
}

// The response envelope read back by a JSON reader: an object of exactly
// "status" and one of "data" / "error", with "status" written first. A
// discarded value when the text is anything else.
inline nlohmann::json read_response(std::string_view text) {
  auto document = nlohmann::json::parse(text, nullptr, false);
  const bool ok_form = text.substr(0, 22) == R"({"status":"ok","data":)";
  const bool err_form = text.substr(0, 24) == R"({"status":"err","error":)";
  const bool whole = !document.is_discarded() && document.is_object() && document.size() == 2 &&
                     ((ok_form && document.value("status", "") == "ok" && document.contains("data")) ||
                      (err_form && document.value("status", "") == "err" && document.contains("error") &&
                       document["error"].is_string()));
  return whole ? document : nlohmann::json(nlohmann::json::value_t::discarded);
}

}  // namespace tarnwick::fuzz

#pragma once

// A response writer that keeps what the helper would have written, for the
// driver's tests and its fuzz target.

#include <string>
#include <string_view>

#include "elevate/response/response_file.hpp"

namespace tarnwick::test {

class RecordingWriter final : public ResponseWriter {
 public:
  bool succeed = true;  // what write_response_file answers
  int calls = 0;
  std::string path;
  std::string bytes;
  bool write_response_file(std::string_view p, std::string_view b) override {
    ++calls;
    path = p;
    bytes = b;
    return succeed;
  }
};

}  // namespace tarnwick::test

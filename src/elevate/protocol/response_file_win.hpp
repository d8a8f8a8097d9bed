#pragma once

#include "elevate/protocol/response_file.hpp"

namespace tarnwick {

// CreateFileW on the path as given, sharing read, write and delete; an
// existing file is truncated in place (never deleted and re-created), then
// every byte is written, partial writes continued.
class WinResponseWriter final : public ResponseWriter {
 public:
  bool write_response_file(std::string_view path, std::string_view bytes) override;
};

}  // namespace tarnwick

#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Writes the response bytes to the response path. The helper ignores the
// outcome, so this only says whether it worked.
class ResponseWriter {
 public:
  virtual ~ResponseWriter() = default;
  virtual bool write_response_file(std::string_view path, std::string_view bytes) = 0;
};

}  // namespace tarnwick

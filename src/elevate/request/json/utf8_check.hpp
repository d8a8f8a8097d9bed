#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarnwick::json {

// Where a byte string stops being well-formed UTF-8 (RFC 3629).
struct Utf8Fault {
  std::size_t index = 0;  // number of well-formed bytes before the fault
  // Length of the maximal subpart at `index` (1 to 3); 0 when the text ends
  // inside a sequence whose bytes so far are a valid beginning.
  std::size_t length = 0;
};

// nullopt when the whole text is well-formed.
std::optional<Utf8Fault> find_utf8_fault(std::string_view bytes);

}  // namespace tarnwick::json

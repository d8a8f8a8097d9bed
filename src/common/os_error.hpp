#pragma once

// A failed call into the operating system, as every seam below the
// dispatcher reports it: the system's error code and nothing else. The text a
// response carries ("<system message> (os error N)") is composed once, at the
// top, by the describer the platform supplies (win::describe_os_error).

#include <cstdint>
#include <string>

namespace tarnwick {

struct OsError {
  std::uint32_t code = 0;  // a Win32 error code
  friend bool operator==(const OsError&, const OsError&) = default;
};

// Turns an OsError into the text a response carries.
using OsErrorDescriber = std::string (*)(OsError error);

}  // namespace tarnwick

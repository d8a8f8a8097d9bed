#pragma once

// A describer for the driver and the dispatcher off Windows: the Windows
// layer's composition ("<message> (os error N)") with a message made from the
// code in place of FormatMessageW's, so that a test sees which code reached
// the top and that it was described there.

#include <string>

#include "common/os_error.hpp"
#include "platform/os_error_text.hpp"

namespace tarnwick::test {

inline std::string describe_os_error(OsError error) {
  const std::string message = "System message " + std::to_string(error.code) + ".\r\n";
  return win::compose_os_error_text(error.code, std::u16string(message.begin(), message.end()));
}

}  // namespace tarnwick::test

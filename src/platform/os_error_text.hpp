#pragma once

// The text every system error is reported with: the system's message for the
// error code, then " (os error N)". The composition is portable; the lookup
// of the system's message is Win32 (platform/win/os_error_text_win.hpp).

#include <cstdint>
#include <string>

#include "common/result.hpp"

namespace tarnwick::win {

// What FormatMessageW produced for a code: its UTF-16 output (without the
// terminating NUL), or the error code it failed with.
using SystemMessage = Result<std::u16string, std::uint32_t>;

// "<message> (os error <code>)", the message with its trailing white space
// (FormatMessageW's line break) removed. When the lookup failed the message is
// "OS Error <code> (FormatMessageW() returned error <failure>)"; when its
// output is not valid UTF-16, "OS Error <code> (FormatMessageW() returned
// invalid UTF-16)".
std::string compose_os_error_text(std::uint32_t code, const SystemMessage& message);

}  // namespace tarnwick::win

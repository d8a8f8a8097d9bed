#pragma once

// The system's message for an error code, composed as os_error_text.hpp says.
// Windows builds only (os_error_text_win.cpp).

#include <cstdint>
#include <string>

#include "common/os_error.hpp"
#include "platform/os_error_text.hpp"

namespace tarnwick::win {

// compose_os_error_text with the system's message for `code`, looked up by
// FormatMessageW (a code with bit 0x10000000 in NTDLL.DLL's message table).
std::string os_error_text(std::uint32_t code);

// os_error_text as the helper's describer: the one place where a back-end's
// error becomes the text of a response.
std::string describe_os_error(OsError error);

}  // namespace tarnwick::win

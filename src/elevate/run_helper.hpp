#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/os_error.hpp"
#include "elevate/response/response_file.hpp"
#include "engine/clean/system_cleaner.hpp"
#include "startup/startup_registry.hpp"
#include "wire/protocol.hpp"

namespace tarnwick {

inline constexpr std::string_view kUsageLine = "usage: tarnwick-helper <request-hex> <response.json>\n";

// The exit statuses (src/wire/protocol.hpp).
using wire::ExitStatus;
using wire::kExitFailed;
using wire::kExitInternal;
using wire::kExitOk;
using wire::kExitUsage;

// Standard error, as raw bytes.
class ErrorStream {
 public:
  virtual ~ErrorStream() = default;
  virtual void write(std::string_view bytes) = 0;
};

// What one run needs from the platform; the back-ends hold no state.
struct HelperServices {
  StartupRegistry& registry;
  SystemCleaner& cleaner;
  OsErrorDescriber describe_os_error;  // the text of a back-end's error
  ResponseWriter& response_writer;
  ErrorStream& standard_error;
};

// One request from the command line to the response file; returns the exit
// status. Never throws: an escaping exception ends the run with status 101
// and a one-line diagnostic.
int run_helper(std::u16string_view command_line, std::u16string_view program_path, HelperServices services);

}  // namespace tarnwick

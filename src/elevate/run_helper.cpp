#include "elevate/run_helper.hpp"

#include <exception>
#include <new>
#include <optional>

#include "common/invariant.hpp"
#include "common/utf.hpp"
#include "elevate/command_line.hpp"
#include "elevate/request/decode_request.hpp"
#include "elevate/dispatch/dispatch.hpp"
#include "elevate/response/encode_response.hpp"

namespace tarnwick {
namespace {

// Arguments as UTF-8; an argument that is not well-formed UTF-16 (an unpaired
// surrogate) is refused with a diagnostic rather than altered.
std::optional<std::vector<std::string>> utf8_arguments(const std::vector<std::u16string>& wide, ErrorStream& err) {
  std::vector<std::string> args;
  args.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    auto text = utf16_to_utf8(wide[i]);
    if (!text) {
      err.write("tarnwick-helper: argument " + std::to_string(i) + " is not valid UTF-16 text\n");
      return std::nullopt;
    }
    args.push_back(std::move(*text));
  }
  return args;
}

int run_request(std::u16string_view command_line, std::u16string_view program_path, HelperServices& services) {
  const auto args = utf8_arguments(split_command_line(command_line, program_path), services.standard_error);
  if (!args) return kExitUsage;
  if (args->size() < 3) {
    services.standard_error.write(kUsageLine);
    return kExitUsage;
  }

  bool failed = false;
  std::string response;
  {
    auto decoded = decode_request((*args)[1]);
    const ActionResult result =
        decoded ? dispatch(decoded.value(), services.registry, services.cleaner, services.describe_os_error)
                : ActionResult::error(std::move(decoded).error());
    failed = result.is_error();
    response = response_bytes(result);
  }
  // A response that cannot be written changes nothing: the status tells.
  (void)services.response_writer.write_response_file((*args)[2], response);
  return failed ? kExitFailed : kExitOk;
}

}  // namespace

int run_helper(std::u16string_view command_line, std::u16string_view program_path, HelperServices services) {
  // The diagnostic is best effort: with memory exhausted even it may fail.
  const auto internal_failure = [&](std::string_view what) noexcept {
    try {
      std::string line = "tarnwick-helper: internal error: ";
      line += what;
      line += '\n';
      services.standard_error.write(line);
    } catch (...) {}
    return kExitInternal;
  };
  try {
    return run_request(command_line, program_path, services);
  } catch (const InvariantBroken& e) {
    return internal_failure(e.what());
  } catch (const std::bad_alloc&) {
    return internal_failure("out of memory");
  } catch (const std::exception& e) {
    return internal_failure(e.what());
  } catch (...) {
    return internal_failure("unexpected exception");
  }
}

}  // namespace tarnwick

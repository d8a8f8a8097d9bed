#include "client/client_error.hpp"

namespace tarnwick::client {

ClientError launch_error(std::uint32_t code, const std::string& what, const std::string& os_text) {
  if (code == kErrorCancelled) return ClientError{ErrorKind::ConsentDeclined, "", std::nullopt, code};
  return ClientError{ErrorKind::LaunchFailed, what + ": " + os_text, std::nullopt, code};
}

Err<ClientError> timed_out(std::chrono::milliseconds limit) {
  const auto ms = limit.count();
  return client_error(ErrorKind::StillRunning,
                      ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

std::string describe(const ClientError& error) {
  const std::string status = error.exit_status ? std::to_string(*error.exit_status) : std::string("unknown");
  switch (error.kind) {
    case ErrorKind::Refused:
    case ErrorKind::NotFound:
      return "the helper refused the request: " + error.message;
    case ErrorKind::ActionFailed:
      return "the action failed: " + error.message;
    case ErrorKind::ConsentDeclined:
      return "the elevation prompt was declined";
    case ErrorKind::LaunchFailed:
      return "the helper could not be started: " + error.message;
    case ErrorKind::StillRunning:
      return "the helper did not finish within " + error.message;
    case ErrorKind::NoUsableResponse:
      return "the helper gave no usable response (exit status " + status + "): " + error.message;
    case ErrorKind::InternalError:
      return "the helper stopped on an internal error (exit status " + status + ")";
    case ErrorKind::InvalidRequest:
      return "the request cannot be sent: " + error.message;
  }
  return "unknown error: " + error.message;
}

}  // namespace tarnwick::client

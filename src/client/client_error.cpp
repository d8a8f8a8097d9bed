#include "client/client_error.hpp"

namespace tarnwick::client {

ClientError launch_error(std::uint32_t code, const std::string& what, const std::string& os_text) {
  if (code == kErrorCancelled) return ClientError{ErrorKind::ConsentDeclined, "", std::nullopt, code, 0};
  return ClientError{ErrorKind::LaunchFailed, what + ": " + os_text, std::nullopt, code, 0};
}

Err<ClientError> still_running(std::chrono::milliseconds limit, std::uint32_t process_id) {
  const auto ms = limit.count();
  const std::string after = ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
  return Err<ClientError>{ClientError{
      ErrorKind::StillRunning,
      "still running after " + after + " (process " + std::to_string(process_id) + ") and may still change things",
      std::nullopt, 0, process_id}};
}

std::string describe(const ClientError& error) {
  const std::string status = error.exit_status ? std::to_string(*error.exit_status) : std::string("unknown");
  switch (error.kind) {
    case ErrorKind::Refused:
      return "the helper refused the request: " + error.message;
    case ErrorKind::NotFound:
      return error.message;
    case ErrorKind::ActionFailed:
      return "the action failed: " + error.message;
    case ErrorKind::ConsentDeclined:
      return "the elevation prompt was declined; nothing was changed";
    case ErrorKind::LaunchFailed:
      return "the helper could not be started: " + error.message;
    case ErrorKind::StillRunning:
      return "the helper is " + error.message;
    case ErrorKind::NoUsableResponse:
      return "the helper gave no usable response (exit status " + status + "): " + error.message;
    case ErrorKind::InternalError:
      return "the helper stopped on an internal error (exit status " + status + ")";
    case ErrorKind::InvalidRequest:
      return "the request cannot be sent: " + error.message;
  }
  return "unknown error: " + error.message;
}

std::string_view kind_name(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Refused:
      return "refused";
    case ErrorKind::NotFound:
      return "not-found";
    case ErrorKind::ActionFailed:
      return "action-failed";
    case ErrorKind::ConsentDeclined:
      return "consent-declined";
    case ErrorKind::LaunchFailed:
      return "launch-failed";
    case ErrorKind::StillRunning:
      return "still-running";
    case ErrorKind::NoUsableResponse:
      return "no-usable-response";
    case ErrorKind::InternalError:
      return "internal-error";
    case ErrorKind::InvalidRequest:
      return "invalid-request";
  }
  return "unknown";
}

}  // namespace tarnwick::client

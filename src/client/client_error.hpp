#pragma once

// How a call through the helper can fail, told apart the way the app needs to
// react: show the helper's message, offer the listed names, ask again, wait
// for a helper still at work, or report a broken install.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.hpp"

namespace tarnwick::client {

enum class ErrorKind {
  // The helper refused the request ("bad request ..."); `message` is the
  // helper's text.
  Refused,
  // The Run key holds no entry of that name: the helper's "unknown HKLM
  // startup entry: " refusal, or a name find_entry did not find; `message`
  // says which name.
  NotFound,
  // The action itself failed (a registry or cleaning error); `message` is the
  // helper's text.
  ActionFailed,
  // The user declined the elevation prompt (ERROR_CANCELLED from the launch).
  // Nothing was started.
  ConsentDeclined,
  // The helper could not be started, or its response folder not prepared;
  // `message` names the path tried and holds the OS error text, `os_error`
  // its code.
  LaunchFailed,
  // The helper did not exit within the caller's time limit and is still
  // running: it may still change things. `process_id` is its process; its
  // answer will not be read.
  StillRunning,
  // The helper exited, but its status and response file do not make one
  // usable answer; `message` says what was wrong, `exit_status` is set.
  NoUsableResponse,
  // The helper stopped on a broken invariant (exit status 101).
  InternalError,
  // The call was not sent: the request cannot be written (a name that is not
  // valid UTF-8, a command line longer than Windows allows).
  InvalidRequest,
};

struct ClientError {
  ErrorKind kind = ErrorKind::NoUsableResponse;
  std::string message;
  std::optional<std::uint32_t> exit_status;  // when the helper ran to its end
  std::uint32_t os_error = 0;                // LaunchFailed, ConsentDeclined
  std::uint32_t process_id = 0;              // StillRunning: the helper still at work

  friend bool operator==(const ClientError&, const ClientError&) = default;
};

template <class T>
using Outcome = Result<T, ClientError>;

inline Err<ClientError> client_error(ErrorKind kind, std::string message) {
  return Err<ClientError>{ClientError{kind, std::move(message), std::nullopt, 0, 0}};
}

// The user's answer "no" to the elevation prompt, as the launch reports it.
inline constexpr std::uint32_t kErrorCancelled = 1223;  // ERROR_CANCELLED

// A launch that failed with this OS error code: the declined prompt
// (ConsentDeclined), or LaunchFailed with "<what>: <os_text>".
ClientError launch_error(std::uint32_t code, const std::string& what, const std::string& os_text);

// StillRunning for the helper `process_id`, not ended after `limit`; the
// message says so: "still running after 600 s (process 4242) and may still
// change things" ("250 ms" when not whole seconds).
Err<ClientError> still_running(std::chrono::milliseconds limit, std::uint32_t process_id);

// One line for a person: what happened, with the helper's or the system's
// text where there is one (no trailing line feed).
std::string describe(const ClientError& error);

// The kind's stable name for machines: "refused", "not-found",
// "action-failed", "consent-declined", "launch-failed", "still-running",
// "no-usable-response", "internal-error", "invalid-request".
std::string_view kind_name(ErrorKind kind);

}  // namespace tarnwick::client

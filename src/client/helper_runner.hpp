#pragma once

#include <string_view>

#include "client/client_error.hpp"
#include "client/response_check.hpp"

namespace tarnwick::client {

// What a request needs of the helper's rights. Listing reads only what any
// user may read; setting and cleaning change the machine.
enum class Rights {
  User,   // started with the caller's own rights: never a consent prompt
  Admin,  // started elevated (a consent prompt, unless the caller is elevated already)
};

// How the helper is started. Direct: CreateProcessW, with the caller's own
// rights, never a prompt. ShellRunas: ShellExecuteExW with the verb "runas",
// which asks for consent when the caller is not elevated.
enum class LaunchMethod { Direct, ShellRunas };

// The shell's "runas" only for a request that needs admin rights, and only
// when elevating is allowed: a caller that is elevated already turns it off
// (LaunchOptions::elevate, tarnwick-client --direct); "runas" would show it
// no prompt either.
constexpr LaunchMethod launch_method(Rights rights, bool may_elevate) {
  return rights == Rights::Admin && may_elevate ? LaunchMethod::ShellRunas : LaunchMethod::Direct;
}

// "CreateProcessW" or "ShellExecuteExW \"runas\"", as a trace names the launch.
constexpr std::string_view launch_method_name(LaunchMethod method) {
  return method == LaunchMethod::ShellRunas ? "ShellExecuteExW \"runas\"" : "CreateProcessW";
}

// Runs the helper once: starts it with the request text and a response path
// of its own making, with the rights the request needs, waits for it, and
// hands back its exit status and the response file's bytes. Errors:
// ConsentDeclined, LaunchFailed, StillRunning, InvalidRequest, and
// NoUsableResponse when the file cannot be read. WinHelperRunner is the real
// one; tests give fakes.
class HelperRunner {
 public:
  virtual ~HelperRunner() = default;
  virtual Outcome<HelperExit> run(std::string_view request_hex, Rights rights) = 0;
};

}  // namespace tarnwick::client

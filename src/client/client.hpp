#pragma once

// The typed calls an app makes through the helper. Each call builds its
// request, has the runner start the helper once, and reads the answer
// strictly; the outcome is the action's value or a ClientError.
//
// Blocking and threads. Every call blocks the calling thread until the helper
// has exited or the runner's time limit has passed (LaunchOptions::timeout,
// 10 minutes unless set), plus, for a call that elevates, as long as the
// consent prompt is shown: the limit counts from the helper's start. A
// listing takes well under a second, a set about as long; a clean lasts as
// long as deleting the two folders' contents does. Call from a worker
// thread, never a UI thread (the prompt has its own window; give its owner in
// LaunchOptions::owner_window). A Client and its runner serve one call at a
// time: use one pair per thread. Nothing here throws except on exhausted
// memory, and value() of an error outcome (see common/result.hpp).
//
// A helper still running at the limit is the outcome StillRunning, never a
// failure: it may still change things. The error carries its process id; the
// runner holds its process, response folder and file until it ends, even
// past the runner's own end (WinHelperRunner::wait_for_still_running waits
// for it, cancel_wait ends a wait from another thread); its answer is not
// read, so list again to see where things stand.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/client_error.hpp"
#include "client/helper_runner.hpp"
#include "client/startup_entry.hpp"

namespace tarnwick::client {

class Client {
 public:
  explicit Client(HelperRunner& runner) : runner_(runner) {}

  // The machine-wide Run entries, in the Run key's order. Starts the helper
  // with the caller's own rights: no consent prompt.
  Outcome<std::vector<StartupEntry>> list_startup_entries();
  // Enables or disables the entry with exactly this name (UTF-8, byte for
  // byte; find_entry finds the listed name for one typed in another case).
  // NotFound when the Run key holds no such name. Elevates.
  Outcome<Done> set_startup_enabled(const std::string& name, bool enabled);
  // Empties the system folders; the bytes freed. Elevates.
  Outcome<std::uint64_t> clean_system();

 private:
  Outcome<HelperExit> run(const ClientRequest& request, Rights rights);

  HelperRunner& runner_;
};

}  // namespace tarnwick::client

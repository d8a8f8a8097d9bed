#pragma once

// Who started the helper, decided one step at a time. The helper writes its
// response only as a caller it has verified: the process that started it,
// still the same process (created before the helper), still running, and
// whose token the helper could take. When any step fails, nothing is done
// as anyone: there is no fallback identity, since a caller could choose the
// fallback simply by exiting early.

#include <cstdint>
#include <optional>

namespace tarnwick {

// The system calls behind each step. The Win32 implementation holds what it
// opens (the parent's process handle, its token) until it is destroyed, so
// that the parent's id cannot pass to another process between the steps.
class CallerSteps {
 public:
  virtual ~CallerSteps() = default;
  // The id of the process that started this one; 0 when there is none.
  virtual std::uint32_t parent_id() = 0;
  // Opens that process and keeps it open; false when it cannot be opened
  // (gone, or not ours to open).
  virtual bool open_parent(std::uint32_t id) = 0;
  // Creation times, in any one unit that orders them; nullopt when unknown.
  virtual std::optional<std::uint64_t> parent_created() = 0;
  virtual std::optional<std::uint64_t> own_created() = 0;
  // False once the parent has exited, even while its process object lives on.
  virtual bool parent_running() = 0;
  // Opens the parent's token for impersonation.
  virtual bool open_parent_token() = 0;
  // The calling thread takes that token; false when it did not.
  virtual bool impersonate() = 0;
};

enum class CallerVerdict {
  Verified,            // the thread now acts as the caller
  NoParent,            // no parent id (a process started from outside Windows)
  ParentNotOpened,     // exited and gone, or not to be opened
  ParentTimesUnknown,  // a creation time could not be read
  ParentNotOlder,      // the id now names a process newer than the helper
  ParentExited,        // the parent has exited before the response was written
  TokenNotOpened,      // the parent's token could not be had
  ThreadRefused,       // the thread could not take the token
};

// Runs the steps in order and stops at the first that fails; a later step is
// never tried after an earlier one failed. Only Verified means the thread
// acts as the caller.
CallerVerdict verify_caller(CallerSteps& steps);

}  // namespace tarnwick

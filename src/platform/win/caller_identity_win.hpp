#pragma once

// The identity of whoever started the helper. The helper runs with
// administrator rights, but some of what it is asked to do (writing the
// response file) must be done only where its caller itself may: the calling
// thread then acts as the caller for that one step.

#include <windows.h>

#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::win {

// An impersonation token for the caller: the token of the parent process
// (the app that started the helper) when the parent is still the process
// that started it and its token can be had; otherwise the helper's own token
// with administrator rights taken away (privileges removed, Administrators
// deny-only, integrity at most medium). Empty when neither can be made: the
// step must then not be done at all, never with the full token.
UniqueKernelHandle caller_impersonation_token();

// While alive, the calling thread acts as `token`; reverts on every way out.
class ThreadImpersonation {
 public:
  explicit ThreadImpersonation(HANDLE token) noexcept;
  ThreadImpersonation(const ThreadImpersonation&) = delete;
  ThreadImpersonation& operator=(const ThreadImpersonation&) = delete;
  ~ThreadImpersonation();

  // False when the thread could not take the identity; it then still runs
  // with the helper's own rights and must not do the step.
  bool active() const noexcept { return active_; }

 private:
  bool active_ = false;
};

}  // namespace tarnwick::win

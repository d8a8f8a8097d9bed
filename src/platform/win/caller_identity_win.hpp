#pragma once

// The identity of whoever started the helper. The helper runs with
// administrator rights, but some of what it is asked to do (writing the
// response file) must be done only where its caller itself may: the calling
// thread then acts as the caller for that one step, or the step is not done.

#include <windows.h>

#include <cstdint>
#include <optional>

#include "platform/caller_check.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::win {

// The steps of verify_caller on Windows: the parent from the process's basic
// information, opened (and held) with PROCESS_QUERY_LIMITED_INFORMATION and
// SYNCHRONIZE, its token duplicated for impersonation. An open that is
// denied is tried once more with SeDebugPrivilege enabled, which lets an
// administrator open the process of another account (a standard user who
// had an administrator approve the consent prompt). The thread goes back to
// its own identity when the object is destroyed.
class WinCallerSteps final : public CallerSteps {
 public:
  WinCallerSteps() = default;
  WinCallerSteps(const WinCallerSteps&) = delete;
  WinCallerSteps& operator=(const WinCallerSteps&) = delete;
  ~WinCallerSteps() override;

  std::uint32_t parent_id() override;
  bool open_parent(std::uint32_t id) override;
  std::optional<std::uint64_t> parent_created() override;
  std::optional<std::uint64_t> own_created() override;
  bool parent_running() override;
  bool open_parent_token() override;
  bool impersonate() override;

 private:
  UniqueKernelHandle parent_;
  UniqueKernelHandle token_;  // an impersonation token
  bool impersonating_ = false;
};

// While alive, the calling thread acts as the helper's verified caller, when
// there is one (active()); otherwise it keeps the helper's own identity and
// the step must not be done at all. Reverts on every way out.
class ActingAsCaller {
 public:
  ActingAsCaller() : verdict_(verify_caller(steps_)) {}
  ActingAsCaller(const ActingAsCaller&) = delete;
  ActingAsCaller& operator=(const ActingAsCaller&) = delete;

  bool active() const noexcept { return verdict_ == CallerVerdict::Verified; }
  CallerVerdict verdict() const noexcept { return verdict_; }

 private:
  WinCallerSteps steps_;
  CallerVerdict verdict_;
};

}  // namespace tarnwick::win

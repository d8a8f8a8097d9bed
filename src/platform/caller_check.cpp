#include "platform/caller_check.hpp"

namespace tarnwick {

CallerVerdict verify_caller(CallerSteps& steps) {
  const std::uint32_t parent = steps.parent_id();
  if (parent == 0) return CallerVerdict::NoParent;
  if (!steps.open_parent(parent)) return CallerVerdict::ParentNotOpened;
  // A parent that has exited may have had its id reused by a newer process,
  // which must not lend the helper its identity.
  const auto parent_created = steps.parent_created();
  const auto own_created = steps.own_created();
  if (!parent_created || !own_created) return CallerVerdict::ParentTimesUnknown;
  if (*parent_created >= *own_created) return CallerVerdict::ParentNotOlder;
  if (!steps.parent_running()) return CallerVerdict::ParentExited;
  if (!steps.open_parent_token()) return CallerVerdict::TokenNotOpened;
  if (!steps.impersonate()) return CallerVerdict::ThreadRefused;
  return CallerVerdict::Verified;
}

}  // namespace tarnwick

#pragma once

#include "common/os_error.hpp"
#include "elevate/dispatch/action_result.hpp"
#include "elevate/request/request.hpp"
#include "engine/clean/system_cleaner.hpp"
#include "startup/startup_registry.hpp"

namespace tarnwick {

// Performs one decoded request through the back-ends it is lent and shapes
// the outcome into the response's data or error. An error from below is a
// system error code; `describe` gives the text the response carries.
ActionResult dispatch(const HelperRequest& request, StartupRegistry& registry, SystemCleaner& cleaner,
                      OsErrorDescriber describe);

}  // namespace tarnwick

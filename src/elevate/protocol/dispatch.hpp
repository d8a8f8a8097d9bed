#pragma once

#include "elevate/protocol/action_result.hpp"
#include "elevate/protocol/request.hpp"
#include "engine/clean/system_cleaner.hpp"
#include "startup/startup_registry.hpp"

namespace tarnwick {

// Performs one decoded request through the back-ends it is lent and shapes
// the outcome into the response's data or error.
ActionResult dispatch(const HelperRequest& request, StartupRegistry& registry, SystemCleaner& cleaner);

}  // namespace tarnwick

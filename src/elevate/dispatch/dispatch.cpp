#include "elevate/dispatch/dispatch.hpp"

#include <algorithm>
#include <utility>

#include "elevate/dispatch/action_data.hpp"
#include "startup/startup_entries.hpp"
#include "wire/protocol.hpp"

namespace tarnwick {
namespace {

ActionResult clean(SystemCleaner& cleaner, OsErrorDescriber describe) {
  auto removed = cleaner.clean_system();
  if (!removed) return ActionResult::error(describe(removed.error()));
  return ActionResult::data(clean_system_data(removed.value()));
}

ActionResult list(StartupRegistry& registry, OsErrorDescriber describe) {
  auto entries = list_startup_entries(registry, StartupScope::HklmRun);
  if (!entries) return ActionResult::error(describe(entries.error()));
  return ActionResult::data(startup_list_data(entries.value()));
}

// The name must come from a fresh listing, compared byte for byte (no case
// folding, no trimming): the registry is written only for an entry that the
// listing showed.
ActionResult set(StartupRegistry& registry, const StartupHklmSet& request, OsErrorDescriber describe) {
  auto entries = list_startup_entries(registry, StartupScope::HklmRun);
  if (!entries) return ActionResult::error(describe(entries.error()));

  const auto& listed = entries.value();
  const bool known =
      std::any_of(listed.begin(), listed.end(), [&](const StartupEntry& entry) { return entry.name == request.name; });
  if (!known) return ActionResult::error(std::string(wire::kRefusalUnknownEntry) + request.name);

  auto written = set_startup_enabled(registry, request.name, request.enabled);
  if (!written) return ActionResult::error(describe(written.error()));

  return ActionResult::data(startup_set_data(request.name, request.enabled));
}

}  // namespace

ActionResult dispatch(const HelperRequest& request, StartupRegistry& registry, SystemCleaner& cleaner,
                      OsErrorDescriber describe) {
  struct Visitor {
    StartupRegistry& registry;
    SystemCleaner& cleaner;
    OsErrorDescriber describe;
    ActionResult operator()(const CleanSystem&) const { return clean(cleaner, describe); }
    ActionResult operator()(const StartupHklmList&) const { return list(registry, describe); }
    ActionResult operator()(const StartupHklmSet& set_request) const { return set(registry, set_request, describe); }
  };
  return std::visit(Visitor{registry, cleaner, describe}, request.action);
}

}  // namespace tarnwick

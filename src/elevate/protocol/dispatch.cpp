#include "elevate/protocol/dispatch.hpp"

#include <algorithm>
#include <utility>

#include "elevate/protocol/action_data.hpp"
#include "startup/startup_entries.hpp"

namespace tarnwick {
namespace {

ActionResult clean(SystemCleaner& cleaner) {
  auto removed = cleaner.clean_system();
  if (!removed) return ActionResult::error(std::move(removed).error().message);
  return ActionResult::data(clean_system_data(removed.value()));
}

ActionResult list(StartupRegistry& registry) {
  auto entries = list_startup_entries(registry, StartupScope::HklmRun);
  if (!entries) return ActionResult::error(std::move(entries).error());
  return ActionResult::data(startup_list_data(entries.value()));
}

// The name must come from a fresh listing, compared byte for byte (no case
// folding, no trimming): the registry is written only for an entry that the
// listing showed.
ActionResult set(StartupRegistry& registry, const StartupHklmSet& request) {
  auto entries = list_startup_entries(registry, StartupScope::HklmRun);
  if (!entries) return ActionResult::error(std::move(entries).error());

  const auto& listed = entries.value();
  const bool known = std::any_of(listed.begin(), listed.end(),
                                 [&](const StartupEntry& entry) { return entry.name == request.name; });
  if (!known) return ActionResult::error("unknown HKLM startup entry: " + request.name);

  auto written = set_startup_enabled(registry, request.name, request.enabled);
  if (!written) return ActionResult::error(std::move(written).error());

  return ActionResult::data(startup_set_data(request.name, request.enabled));
}

}  // namespace

ActionResult dispatch(const HelperRequest& request, StartupRegistry& registry, SystemCleaner& cleaner) {
  struct Visitor {
    StartupRegistry& registry;
    SystemCleaner& cleaner;
    ActionResult operator()(const CleanSystem&) const { return clean(cleaner); }
    ActionResult operator()(const StartupHklmList&) const { return list(registry); }
    ActionResult operator()(const StartupHklmSet& set_request) const { return set(registry, set_request); }
  };
  return std::visit(Visitor{registry, cleaner}, request.action);
}

}  // namespace tarnwick

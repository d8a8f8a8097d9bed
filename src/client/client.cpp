#include "client/client.hpp"

#include "client/request.hpp"
#include "client/response_check.hpp"

namespace tarnwick::client {

Outcome<HelperExit> Client::run(const ClientRequest& request, Rights rights) {
  auto hex = request_hex(request);
  if (!hex) return Err{std::move(hex).error()};
  return runner_.run(hex.value(), rights);
}

Outcome<std::vector<StartupEntry>> Client::list_startup_entries() {
  auto exit = run(ListStartupEntries{}, Rights::User);
  if (!exit) return Err{std::move(exit).error()};
  return read_list_response(exit.value());
}

Outcome<Done> Client::set_startup_enabled(const std::string& name, bool enabled) {
  const SetStartupEnabled request{name, enabled};
  auto exit = run(request, Rights::Admin);
  if (!exit) return Err{std::move(exit).error()};
  return read_set_response(exit.value(), request);
}

Outcome<std::uint64_t> Client::clean_system() {
  auto exit = run(CleanSystem{}, Rights::Admin);
  if (!exit) return Err{std::move(exit).error()};
  return read_clean_response(exit.value());
}

}  // namespace tarnwick::client

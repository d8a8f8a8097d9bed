#include "client/client.hpp"

#include "client/request.hpp"
#include "client/response_check.hpp"

namespace tarnwick::client {

Outcome<HelperExit> Client::run(const ClientRequest& request) {
  auto hex = request_hex(request);
  if (!hex) return Err{std::move(hex).error()};
  return runner_.run(hex.value());
}

Outcome<std::vector<StartupEntry>> Client::list_startup_entries() {
  auto exit = run(ListStartupEntries{});
  if (!exit) return Err{std::move(exit).error()};
  return read_list_response(exit.value());
}

Outcome<Done> Client::set_startup_enabled(const std::string& name, bool enabled) {
  const SetStartupEnabled request{name, enabled};
  auto exit = run(request);
  if (!exit) return Err{std::move(exit).error()};
  return read_set_response(exit.value(), request);
}

Outcome<std::uint64_t> Client::clean_system() {
  auto exit = run(CleanSystem{});
  if (!exit) return Err{std::move(exit).error()};
  return read_clean_response(exit.value());
}

}  // namespace tarnwick::client

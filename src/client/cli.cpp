#include "client/cli.hpp"

#include <nlohmann/json.hpp>

#include "client/client.hpp"
#include "client/entry_table.hpp"
#include "client/human_units.hpp"
#include "wire/action_data_json.hpp"

namespace tarnwick::client {
namespace {

constexpr std::string_view kProgram = "tarnwick-client: ";

// The listing in the helper's own form: the "data" of its response.
std::string entries_json(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  for (const StartupEntry& entry : entries) {
    array.push_back(wire::startup_entry_json<nlohmann::json>(entry.name, entry.command, entry.enabled));
  }
  return array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

template <class T>
bool report_failure(const Outcome<T>& outcome, CliConsole& console, int& status) {
  if (outcome) return false;
  console.err(std::string(kProgram) + describe(outcome.error()) + "\n");
  status = cli_exit_for(outcome.error());
  return true;
}

int run_command(const CliOptions& options, Client& client, CliConsole& console) {
  int status = kCliOk;
  switch (options.command) {
    case CliCommand::List: {
      const auto entries = client.list_startup_entries();
      if (report_failure(entries, console, status)) return status;
      console.out(options.json ? entries_json(entries.value()) + "\n"
                               : format_entry_table(entries.value(), console.width()));
      return kCliOk;
    }
    case CliCommand::Enable:
    case CliCommand::Disable: {
      const bool enable = options.command == CliCommand::Enable;
      const auto done = client.set_startup_enabled(options.name, enable);
      if (report_failure(done, console, status)) return status;
      console.out(std::string(enable ? "Enabled " : "Disabled ") + printable(options.name) + "\n");
      return kCliOk;
    }
    case CliCommand::Clean: {
      const auto removed = client.clean_system();
      if (report_failure(removed, console, status)) return status;
      console.out(options.json ? wire::clean_system_json<nlohmann::json>(removed.value()).dump() + "\n"
                               : "Freed " + human_bytes(removed.value()) + "\n");
      return kCliOk;
    }
    case CliCommand::Help:
      break;
  }
  console.out(kCliHelp);
  return kCliOk;
}

}  // namespace

int cli_exit_for(const ClientError& error) {
  switch (error.kind) {
    case ErrorKind::Refused:
    case ErrorKind::NotFound:
    case ErrorKind::ActionFailed:
      return kCliHelperSaidNo;
    case ErrorKind::InvalidRequest:
      return kCliUsage;
    case ErrorKind::ConsentDeclined:
    case ErrorKind::LaunchFailed:
    case ErrorKind::StillRunning:
    case ErrorKind::NoUsableResponse:
    case ErrorKind::InternalError:
      break;
  }
  return kCliNoAnswer;
}

int run_cli(const std::vector<std::string>& args, CliConsole& console, const RunnerFactory& make_runner) {
  const auto options = parse_cli_args(args);
  if (!options) {
    console.err(std::string(kProgram) + "usage error: " + options.error() + "\nTry 'tarnwick-client --help'.\n");
    return kCliUsage;
  }
  if (options.value().command == CliCommand::Help) {
    console.out(kCliHelp);
    return kCliOk;
  }
  const std::unique_ptr<HelperRunner> runner = make_runner(options.value());
  Client client(*runner);
  return run_command(options.value(), client, console);
}

}  // namespace tarnwick::client

#include "cli/cli.hpp"

#include <exception>

#include <nlohmann/json.hpp>

#include "client/client.hpp"
#include "client/entry_lookup.hpp"
#include "cli/entry_table.hpp"
#include "cli/human_units.hpp"
#include "wire/action_data_json.hpp"

namespace tarnwick::cli {

// The library this program is written over.
using namespace client;
namespace {

constexpr std::string_view kProgram = "tarnwick-client: ";

std::string dumped(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The listing in the helper's own form: the "data" of its response.
std::string entries_json(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  for (const StartupEntry& entry : entries) {
    array.push_back(wire::startup_entry_json<nlohmann::json>(entry.name, entry.command, entry.enabled));
  }
  return dumped(array);
}

// Where errors go: a line on standard error, or under --json an object on
// standard output.
class Reporter {
 public:
  Reporter(CliConsole& console, bool json) : console_(console), json_(json) {}

  // `nearest`: under --json, the "nearest" member of a not-found error.
  int fail(std::string_view kind, const std::string& message, int status,
           const std::vector<std::string>* nearest = nullptr) {
    if (json_) {
      nlohmann::json error = {{"kind", kind}, {"message", message}};
      if (nearest != nullptr) error["nearest"] = *nearest;
      console_.out(dumped({{"error", std::move(error)}}) + "\n");
    } else {
      console_.err(std::string(kProgram) + message + "\n");
    }
    return status;
  }
  int fail(const ClientError& error, const std::vector<std::string>* nearest = nullptr) {
    return fail(kind_name(error.kind), describe(error), cli_exit_for(error), nearest);
  }
  int usage(const std::string& what) {
    if (json_) return fail("usage", "usage error: " + what, kCliUsage);
    console_.err(std::string(kProgram) + "usage error: " + what + "\nTry 'tarnwick-client --help'.\n");
    return kCliUsage;
  }

 private:
  CliConsole& console_;
  bool json_;
};

// No listed entry is named `name`: NotFound, naming the `nearest` listed names.
ClientError not_listed(const std::vector<std::string>& nearest, const std::string& name) {
  std::string message = "no startup entry is named \"" + printable(name) + "\"";
  if (nearest.empty()) {
    message += " ('tarnwick-client list' shows them)";
  } else {
    message += "; nearest: ";
    for (std::size_t i = 0; i < nearest.size(); ++i) message += (i ? ", \"" : "\"") + printable(nearest[i]) + "\"";
  }
  return ClientError{ErrorKind::NotFound, std::move(message), std::nullopt, 0, 0};
}

int run_command(const CliOptions& options, Client& client, CliConsole& console, Reporter& report) {
  switch (options.command) {
    case CliCommand::List: {
      const auto entries = client.list_startup_entries();
      if (!entries) return report.fail(entries.error());
      console.out(options.json ? entries_json(entries.value()) + "\n"
                               : format_entry_table(entries.value(), console.width()));
      return kCliOk;
    }
    case CliCommand::Enable:
    case CliCommand::Disable: {
      const bool enable = options.command == CliCommand::Enable;
      // The listing runs with the user's rights: a name not listed never
      // raises a consent prompt.
      const auto entries = client.list_startup_entries();
      if (!entries) return report.fail(entries.error());
      const StartupEntry* entry = find_entry(entries.value(), options.name);
      if (entry == nullptr) {
        const std::vector<std::string> nearest = nearest_names(entries.value(), options.name);
        return report.fail(not_listed(nearest, options.name), &nearest);
      }
      const std::string name = entry->name;
      // Already in the state asked for: nothing to change, so nothing is
      // started with administrator rights (no consent prompt).
      if (entry->enabled == enable) {
        console.out(options.json ? dumped(wire::startup_set_json<nlohmann::json>(name, enable)) + "\n"
                                 : printable(name) + (enable ? " is enabled already\n" : " is disabled already\n"));
        return kCliOk;
      }
      const auto done = client.set_startup_enabled(name, enable);
      if (!done) return report.fail(done.error());
      console.out(options.json ? dumped(wire::startup_set_json<nlohmann::json>(name, enable)) + "\n"
                               : std::string(enable ? "Enabled " : "Disabled ") + printable(name) + "\n");
      return kCliOk;
    }
    case CliCommand::Clean: {
      const auto removed = client.clean_system();
      if (!removed) return report.fail(removed.error());
      console.out(options.json ? wire::clean_system_json<nlohmann::json>(removed.value()).dump() + "\n"
                               : "Freed " + human_bytes(removed.value()) + "\n");
      return kCliOk;
    }
    case CliCommand::Help:
    case CliCommand::Version:
      break;  // answered before any runner is made
  }
  return kCliUsage;
}

}  // namespace

int cli_exit_for(const ClientError& error) {
  switch (error.kind) {
    case ErrorKind::Refused:
    case ErrorKind::ActionFailed:
      return kCliHelperSaidNo;
    case ErrorKind::InvalidRequest:
      return kCliUsage;
    case ErrorKind::NotFound:
      return kCliNotFound;
    case ErrorKind::ConsentDeclined:
      return kCliConsentDeclined;
    case ErrorKind::LaunchFailed:
      return kCliLaunchFailed;
    case ErrorKind::StillRunning:
      return kCliStillRunning;
    case ErrorKind::NoUsableResponse:
      return kCliNoUsableResponse;
    case ErrorKind::InternalError:
      break;
  }
  return kCliInternalError;
}

int run_cli(const std::vector<std::string>& args, CliConsole& console, const RunnerFactory& make_runner) {
  if (args.empty()) {
    console.err(kCliHelp);
    return kCliUsage;
  }
  Reporter report(console, wants_json(args));
  const auto options = parse_cli_args(args);
  if (!options) return report.usage(options.error());
  if (options.value().command == CliCommand::Help) {
    const auto topic = options.value().help_topic;
    console.out(topic ? cli_command_help(*topic) : kCliHelp);
    return kCliOk;
  }
  if (options.value().command == CliCommand::Version) {
    console.out(cli_version_line());
    return kCliOk;
  }
  // Nothing below is expected to throw but exhausted memory or a broken
  // invariant; either still ends as one report and a status.
  try {
    const std::unique_ptr<HelperRunner> runner = make_runner(options.value());
    Client client(*runner);
    return run_command(options.value(), client, console, report);
  } catch (const std::exception& e) {
    return report.fail(kind_name(ErrorKind::InternalError), std::string("internal error: ") + e.what(),
                       kCliInternalError);
  }
}

}  // namespace tarnwick::cli

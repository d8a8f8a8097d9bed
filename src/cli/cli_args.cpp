#include "cli/cli_args.hpp"

#include <algorithm>
#include <array>

#include "version.hpp"

namespace tarnwick::cli {

const std::string_view kCliHelp =
    "usage: tarnwick-client [options] list\n"
    "       tarnwick-client [options] enable NAME\n"
    "       tarnwick-client [options] disable NAME\n"
    "       tarnwick-client [options] clean\n"
    "       tarnwick-client --help | --version\n"
    "\n"
    "Runs requests through tarnwick-helper.exe and prints the answer. Listing\n"
    "runs it with your own rights; enable, disable and clean run it with\n"
    "administrator rights (Windows asks for consent; a caller that already has\n"
    "them passes --direct).\n"
    "\n"
    "commands:\n"
    "  list           the machine-wide startup entries (HKLM Run key): name,\n"
    "                 on/off, command\n"
    "  enable NAME    turn the startup entry of this name on; the name is found\n"
    "                 in the listing ignoring case, as Windows does, and the\n"
    "                 entry's own name is printed\n"
    "  disable NAME   turn it off (its Run value itself stays)\n"
    "  clean          empty the Windows Update download cache and the system\n"
    "                 Temp folder and print the space freed\n"
    "  help           this text (also --help, -h, /?)\n"
    "\n"
    "options (--opt VALUE or --opt=VALUE):\n"
    "  --json             answers as JSON on standard output: list the helper's\n"
    "                     JSON array, enable/disable {\"enabled\":B,\"name\":S},\n"
    "                     clean {\"removed_bytes\":N}; every error as\n"
    "                     {\"error\":{\"kind\":K,\"message\":M}} on standard output,\n"
    "                     with the same exit status\n"
    "  --helper PATH      the helper to run (default: tarnwick-helper.exe beside\n"
    "                     this program)\n"
    "  --timeout SECONDS  how long to wait for each helper run, 1 to 86400\n"
    "                     (default 600); a helper still running then is reported\n"
    "                     (status 6) and may still change things\n"
    "  --direct           never ask for elevation (for a caller that already runs\n"
    "                     with administrator rights)\n"
    "  --allow-replaceable-helper\n"
    "                     start a helper that this user could replace without\n"
    "                     administrator rights (development and tests only;\n"
    "                     refused otherwise)\n"
    "  --verbose          say on standard error how each helper run is started\n"
    "  --version          print the version\n"
    "  --                 ends the options, for a NAME that begins with '-'\n"
    "\n"
    "exit status (error kind under --json):\n"
    "  0  done\n"
    "  1  the helper refused the request or the action failed (refused,\n"
    "     action-failed)\n"
    "  2  usage error, or a NAME that cannot be sent (usage, invalid-request)\n"
    "  3  no startup entry of that name; the nearest names are suggested\n"
    "     (not-found)\n"
    "  4  the elevation prompt was declined; nothing changed (consent-declined)\n"
    "  5  the helper could not be started (launch-failed)\n"
    "  6  the helper is still running after the time limit (still-running)\n"
    "  7  the helper ended without a usable answer (no-usable-response)\n"
    "  8  the helper or this program stopped on an internal error\n"
    "     (internal-error)\n";

std::string cli_version_line() { return std::string("tarnwick-client ") + TARNWICK_VERSION + "\n"; }

namespace {

Result<std::chrono::seconds> parse_timeout(std::string_view text) {
  constexpr auto kWrong = "--timeout needs whole seconds from 1 to 86400";
  if (text.empty() || text.size() > 5) return error_text(kWrong);
  long long seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return error_text(kWrong);
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < 1 || seconds > kMaxTimeout.count()) return error_text(kWrong);
  return std::chrono::seconds(seconds);
}

bool is_help_word(std::string_view word) { return word == "help" || word == "/?"; }

Result<CliCommand> parse_command(std::string_view word) {
  if (word == "list") return CliCommand::List;
  if (word == "enable") return CliCommand::Enable;
  if (word == "disable") return CliCommand::Disable;
  if (word == "clean") return CliCommand::Clean;
  return error_text("unknown command '" + std::string(word) + "'");
}

}  // namespace

bool wants_json(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--json") return true;
  }
  return false;
}

Result<CliOptions> parse_cli_args(const std::vector<std::string>& args) {
  CliOptions options;
  std::vector<std::string> positional;
  bool seen_helper = false;
  bool seen_timeout = false;
  bool options_ended = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    // "--opt=value" is "--opt value".
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string option = arg.substr(0, equals);
    const std::optional<std::string> attached =
        equals == std::string::npos ? std::nullopt : std::optional<std::string>(arg.substr(equals + 1));

    if (option == "--helper" || option == "--timeout") {
      const bool helper = option == "--helper";
      if (helper ? seen_helper : seen_timeout) return error_text(option + " given twice");
      (helper ? seen_helper : seen_timeout) = true;
      if (!attached && i + 1 == args.size()) {
        return error_text(option + (helper ? " needs a path" : " needs a number of seconds"));
      }
      const std::string value = attached ? *attached : args[++i];
      if (helper) {
        if (value.empty()) return error_text("--helper needs a path");
        options.helper_path = value;
      } else {
        auto timeout = parse_timeout(value);
        if (!timeout) return error_text(timeout.error());
        options.timeout = timeout.value();
      }
      continue;
    }
    static constexpr std::array<std::string_view, 7> kFlags = {
        "--help", "-h", "--version", "--json", "--direct", "--verbose", "--allow-replaceable-helper"};
    if (std::find(kFlags.begin(), kFlags.end(), option) == kFlags.end()) {
      return error_text("unknown option '" + arg + "'");
    }
    if (attached) return error_text(option + " takes no value");
    if (option == "--help" || option == "-h") return CliOptions{};
    version = version || option == "--version";
    options.json = options.json || option == "--json";
    options.direct = options.direct || option == "--direct";
    options.verbose = options.verbose || option == "--verbose";
    options.allow_replaceable_helper = options.allow_replaceable_helper || option == "--allow-replaceable-helper";
  }

  if (!positional.empty() && is_help_word(positional[0])) return CliOptions{};
  if (version) {
    if (!positional.empty()) return error_text("--version takes no command");
    options.command = CliCommand::Version;
    return options;
  }
  if (positional.empty()) return error_text("no command given");
  auto command = parse_command(positional[0]);
  if (!command) return error_text(command.error());
  options.command = command.value();
  const bool takes_name = options.command == CliCommand::Enable || options.command == CliCommand::Disable;
  if (takes_name) {
    if (positional.size() < 2) return error_text(positional[0] + " needs the NAME of a startup entry");
    options.name = positional[1];
  }
  const std::size_t used = takes_name ? 2 : 1;
  if (positional.size() > used) return error_text("unexpected argument '" + positional[used] + "'");
  return options;
}

}  // namespace tarnwick::cli

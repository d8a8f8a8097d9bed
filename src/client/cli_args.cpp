#include "client/cli_args.hpp"

namespace tarnwick::client {

const std::string_view kCliHelp =
    "usage: tarnwick-client [options] list [--json]\n"
    "       tarnwick-client [options] enable NAME\n"
    "       tarnwick-client [options] disable NAME\n"
    "       tarnwick-client [options] clean [--json]\n"
    "       tarnwick-client --help\n"
    "\n"
    "Runs one request through tarnwick-helper.exe, started with administrator\n"
    "rights (Windows asks for consent), and prints its answer.\n"
    "\n"
    "commands:\n"
    "  list           the machine-wide startup entries (HKLM Run key): name,\n"
    "                 on/off, command; --json prints them as the helper's JSON\n"
    "                 array\n"
    "  enable NAME    turn the startup entry with exactly this name on\n"
    "  disable NAME   turn it off (its Run value itself stays)\n"
    "  clean          empty the Windows Update download cache and the system\n"
    "                 Temp folder and print the space freed; --json prints\n"
    "                 {\"removed_bytes\":N}\n"
    "\n"
    "options:\n"
    "  --helper PATH      the helper to run (default: tarnwick-helper.exe beside\n"
    "                     this program)\n"
    "  --timeout SECONDS  how long to wait for the helper, 1 to 86400\n"
    "                     (default 600); a helper still running then is left to\n"
    "                     finish and its answer is not read\n"
    "  --direct           start the helper without asking for elevation (for a\n"
    "                     caller that already runs with administrator rights)\n"
    "  --allow-replaceable-helper\n"
    "                     start a helper that this user could replace without\n"
    "                     administrator rights (development and tests only;\n"
    "                     refused otherwise)\n"
    "  --json             machine-readable output (list, clean)\n"
    "  --                 ends the options, for a NAME that begins with '-'\n"
    "  --help             this text\n"
    "\n"
    "exit status:\n"
    "  0  done\n"
    "  1  the helper refused the request or the action failed (its message on\n"
    "     standard error)\n"
    "  2  usage error (also a NAME too long to send)\n"
    "  3  the helper could not be run (missing, consent declined, timed out) or\n"
    "     gave no usable answer\n";

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

Result<CliCommand> parse_command(std::string_view word) {
  if (word == "list") return CliCommand::List;
  if (word == "enable") return CliCommand::Enable;
  if (word == "disable") return CliCommand::Disable;
  if (word == "clean") return CliCommand::Clean;
  return error_text("unknown command '" + std::string(word) + "'");
}

}  // namespace

Result<CliOptions> parse_cli_args(const std::vector<std::string>& args) {
  CliOptions options;
  std::vector<std::string> positional;
  bool seen_helper = false;
  bool seen_timeout = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      return CliOptions{};
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--direct") {
      options.direct = true;
    } else if (arg == "--allow-replaceable-helper") {
      options.allow_replaceable_helper = true;
    } else if (arg == "--helper" || arg == "--timeout") {
      const bool helper = arg == "--helper";
      if (helper ? seen_helper : seen_timeout) return error_text(arg + " given twice");
      (helper ? seen_helper : seen_timeout) = true;
      if (i + 1 == args.size()) return error_text(arg + (helper ? " needs a path" : " needs a number of seconds"));
      const std::string& value = args[++i];
      if (helper) {
        if (value.empty()) return error_text("--helper needs a path");
        options.helper_path = value;
      } else {
        auto timeout = parse_timeout(value);
        if (!timeout) return error_text(timeout.error());
        options.timeout = timeout.value();
      }
    } else {
      return error_text("unknown option '" + arg + "'");
    }
  }

  if (positional.empty()) return error_text("no command given");
  auto command = parse_command(positional[0]);
  if (!command) return error_text(command.error());
  options.command = command.value();
  const bool takes_name = options.command == CliCommand::Enable || options.command == CliCommand::Disable;
  if (takes_name) {
    if (positional.size() < 2) return error_text(positional[0] + " needs the NAME of a startup entry");
    options.name = positional[1];
    if (options.json) return error_text("--json applies to list and clean only");
  }
  const std::size_t used = takes_name ? 2 : 1;
  if (positional.size() > used) return error_text("unexpected argument '" + positional[used] + "'");
  return options;
}

}  // namespace tarnwick::client

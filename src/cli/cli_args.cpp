#include "cli/cli_args.hpp"

#include <algorithm>
#include <array>

#include "common/utf.hpp"
#include "platform/windows_path_syntax.hpp"
#include "version.hpp"

namespace tarnwick::cli {

const std::string_view kCliHelp =
    "usage: tarnwick-client [options] list\n"
    "       tarnwick-client [options] enable NAME\n"
    "       tarnwick-client [options] disable NAME\n"
    "       tarnwick-client [options] clean\n"
    "       tarnwick-client help [COMMAND] | version\n"
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
    "  help [COMMAND] this text (also --help, -h, -?, /?, /help), or one\n"
    "                 command's (also COMMAND --help)\n"
    "  version        the version (also --version)\n"
    "Commands and options are taken in any case (LIST, --JSON); NAME as given.\n"
    "\n"
    "options (--opt VALUE or --opt=VALUE):\n"
    "  --json             answers as JSON on standard output: list the helper's\n"
    "                     JSON array, enable/disable {\"enabled\":B,\"name\":S},\n"
    "                     clean {\"removed_bytes\":N}; every error as\n"
    "                     {\"error\":{\"kind\":K,\"message\":M}} on standard output,\n"
    "                     with the same exit status (not-found adds\n"
    "                     \"nearest\":[NAME, ...])\n"
    "  --helper PATH      the helper to run, by its full path (default:\n"
    "                     tarnwick-helper.exe beside this program)\n"
    "  --timeout SECONDS  how long to wait for each helper run, 1 to 86400\n"
    "                     (default 600); a helper still running then is reported\n"
    "                     (status 6) and may still change things\n"
    "  --direct           never ask for elevation (for a caller that already runs\n"
    "                     with administrator rights)\n"
    "  --allow-replaceable-helper\n"
    "                     start a helper that this user could replace without\n"
    "                     administrator rights, and let an administrator's runs\n"
    "                     use a folder this user could change (development and\n"
    "                     tests only; refused otherwise)\n"
    "  --verbose          say on standard error how each helper run is started\n"
    "  --version          print the version\n"
    "  --                 ends the options, for a NAME that begins with '-' or '/'\n"
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

std::string_view cli_command_help(CliCommand command) {
  switch (command) {
    case CliCommand::List:
      return "usage: tarnwick-client [options] list\n"
             "\n"
             "Lists the machine-wide startup entries (HKLM Run key) as a table of\n"
             "NAME, STATE (on/off) and COMMAND; with --json, as the helper's JSON array.\n"
             "Runs the helper with your own rights: no consent prompt.\n"
             "\n"
             "Options: tarnwick-client --help.\n";
    case CliCommand::Enable:
    case CliCommand::Disable:
      return command == CliCommand::Enable
                 ? "usage: tarnwick-client [options] enable NAME\n"
                   "\n"
                   "Turns the startup entry NAME on. NAME is found in the listing ignoring\n"
                   "case, as Windows does; the entry's own name is sent and printed. A NAME\n"
                   "not listed ends the command (status 3) with the nearest listed names, and\n"
                   "nothing is started with administrator rights. An entry that is on already\n"
                   "is left as it is, and the command says so. Otherwise the helper runs with\n"
                   "administrator rights (Windows asks for consent unless --direct).\n"
                   "\n"
                   "Options: tarnwick-client --help.\n"
                 : "usage: tarnwick-client [options] disable NAME\n"
                   "\n"
                   "Turns the startup entry NAME off; its Run value itself stays. NAME is\n"
                   "found in the listing ignoring case, as Windows does; the entry's own name\n"
                   "is sent and printed. A NAME not listed ends the command (status 3) with\n"
                   "the nearest listed names, and nothing is started with administrator\n"
                   "rights. An entry that is off already is left as it is, and the command\n"
                   "says so. Otherwise the helper runs with administrator rights (Windows\n"
                   "asks for consent unless --direct).\n"
                   "\n"
                   "Options: tarnwick-client --help.\n";
    case CliCommand::Clean:
      return "usage: tarnwick-client [options] clean\n"
             "\n"
             "Empties the Windows Update download cache and the system Temp folder\n"
             "(the folders themselves stay) and prints the space freed; with --json,\n"
             "{\"removed_bytes\":N}. Runs the helper with administrator rights\n"
             "(Windows asks for consent unless --direct).\n"
             "\n"
             "Options: tarnwick-client --help.\n";
    case CliCommand::Version:
      return "usage: tarnwick-client version\n"
             "\n"
             "Prints tarnwick-client's version, X.Y.Z.B (also --version).\n";
    case CliCommand::Help:
      break;
  }
  return kCliHelp;
}

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

// ASCII letters in lowercase, the rest as it is: commands and option names
// are matched in any case.
std::string lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The words that ask for help wherever they stand before "--".
bool is_help_flag(std::string_view lower) {
  return lower == "--help" || lower == "-h" || lower == "-?" || lower == "/?" || lower == "/help";
}

Result<CliCommand> parse_command(std::string_view word) {
  const std::string lower = lowercase(word);
  if (lower == "list") return CliCommand::List;
  if (lower == "enable") return CliCommand::Enable;
  if (lower == "disable") return CliCommand::Disable;
  if (lower == "clean") return CliCommand::Clean;
  if (lower == "version") return CliCommand::Version;
  if (lower == "help") return CliCommand::Help;
  return error_text("unknown command '" + std::string(word) + "'");
}

// A path that names the same file whatever the current folder and drive are.
bool is_full_path(std::string_view path) {
  const auto units = utf8_to_utf16(path);
  return units && win::is_absolute(win::path_form(*units));
}

CliOptions help_about(std::optional<CliCommand> topic) {
  CliOptions help;
  if (topic != CliCommand::Help) help.help_topic = topic;
  return help;
}

}  // namespace

bool wants_json(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (lowercase(arg) == "--json") return true;
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
  bool help = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && is_help_flag(lowercase(arg))) {
      help = true;
      continue;
    }
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
    const std::string option = lowercase(arg.substr(0, equals));
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
        if (!is_full_path(value)) {
          return error_text(
              "--helper needs a full path (such as C:\\Program Files\\Tarnwick\\tarnwick-helper.exe), "
              "not one relative to the current folder: '" +
              value + "'");
        }
        options.helper_path = value;
      } else {
        auto timeout = parse_timeout(value);
        if (!timeout) return error_text(timeout.error());
        options.timeout = timeout.value();
      }
      continue;
    }
    if (is_help_flag(option)) return error_text(option + " takes no value");  // "--help=1"
    static constexpr std::array<std::string_view, 5> kFlags = {"--version", "--json", "--direct", "--verbose",
                                                               "--allow-replaceable-helper"};
    if (std::find(kFlags.begin(), kFlags.end(), option) == kFlags.end()) {
      return error_text("unknown option '" + arg + "'");
    }
    if (attached) return error_text(option + " takes no value");
    version = version || option == "--version";
    options.json = options.json || option == "--json";
    options.direct = options.direct || option == "--direct";
    options.verbose = options.verbose || option == "--verbose";
    options.allow_replaceable_helper = options.allow_replaceable_helper || option == "--allow-replaceable-helper";
  }

  // "COMMAND --help" is that command's help; any other help word, the whole
  // text, whatever else is on the line.
  if (help) {
    std::optional<CliCommand> topic;
    if (!positional.empty()) {
      if (auto command = parse_command(positional[0])) topic = command.value();
    }
    return help_about(topic);
  }
  if (!positional.empty() && lowercase(positional[0]) == "help") {
    if (positional.size() == 1) return CliOptions{};
    if (positional.size() > 2) return error_text("unexpected argument '" + positional[2] + "'");
    auto topic = parse_command(positional[1]);
    if (!topic) return error_text(topic.error());
    return help_about(topic.value());
  }
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

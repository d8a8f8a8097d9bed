#pragma once

// The command line of tarnwick-client, parsed without touching the system.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"

namespace tarnwick::cli {

enum class CliCommand { Help, Version, List, Enable, Disable, Clean };

inline constexpr std::chrono::seconds kDefaultTimeout{600};
inline constexpr std::chrono::seconds kMaxTimeout{86400};

struct CliOptions {
  CliCommand command = CliCommand::Help;
  std::optional<CliCommand> help_topic;    // help: the command asked about ("help list", "list --help")
  std::string name;                        // enable, disable: the entry's name, in any case
  bool json = false;                       // answers and errors as JSON on standard output
  std::optional<std::string> helper_path;  // default: tarnwick-helper.exe beside the client
  std::chrono::seconds timeout = kDefaultTimeout;
  bool direct = false;                    // start the helper without asking for elevation
  bool allow_replaceable_helper = false;  // skip the check that the user cannot replace the helper
  bool verbose = false;                   // say on standard error how each helper run is started

  friend bool operator==(const CliOptions&, const CliOptions&) = default;
};

// Exit statuses of tarnwick-client: one per kind of outcome, stable across
// versions (listed in --help and README).
enum CliExit : int {
  kCliOk = 0,
  kCliHelperSaidNo = 1,      // refused or failed; the helper's message
  kCliUsage = 2,             // the client's own command line is wrong (also a NAME that cannot be sent)
  kCliNotFound = 3,          // no startup entry of that name
  kCliConsentDeclined = 4,   // the elevation prompt was declined
  kCliLaunchFailed = 5,      // the helper could not be started (missing, not runnable)
  kCliStillRunning = 6,      // the time limit passed with the helper still at work
  kCliNoUsableResponse = 7,  // the helper ended without a usable answer
  kCliInternalError = 8,     // the helper or the client stopped on an internal error
};

// `args` are the UTF-8 arguments after the program name. Options may stand
// anywhere, as "--opt value" or "--opt=value"; "--" ends them, so that a name
// may begin with "-" or "/". Commands and option names are taken in any case,
// as Windows programs take them ("LIST", "--JSON"); a NAME is kept as given.
// "help", "--help", "-h", "-?", "/?" and "/help" ask for the usage text;
// "help COMMAND" and "COMMAND --help" for that command's. "version" is
// "--version". A --helper PATH must be a full path: one relative to the
// current folder or drive is refused. The error is one line saying what is
// wrong (for "usage error: ...").
Result<CliOptions> parse_cli_args(const std::vector<std::string>& args);

// Whether the line asks for JSON output, read before parsing so that even a
// usage error is reported as JSON.
bool wants_json(const std::vector<std::string>& args);

// The --help text, ending with a line feed.
extern const std::string_view kCliHelp;

// One command's help text ("help list", "list --help"), ending with a line
// feed.
std::string_view cli_command_help(CliCommand command);

// "tarnwick-client X.Y.Z.B" (the one version, build number last) and a line feed.
std::string cli_version_line();

}  // namespace tarnwick::cli

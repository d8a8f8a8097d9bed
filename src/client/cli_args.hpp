#pragma once

// The command line of tarnwick-client, parsed without touching the system.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"

namespace tarnwick::client {

enum class CliCommand { Help, List, Enable, Disable, Clean };

inline constexpr std::chrono::seconds kDefaultTimeout{600};
inline constexpr std::chrono::seconds kMaxTimeout{86400};

struct CliOptions {
  CliCommand command = CliCommand::Help;
  std::string name;                        // enable, disable: the entry's exact name
  bool json = false;                       // list, clean
  std::optional<std::string> helper_path;  // default: tarnwick-helper.exe beside the client
  std::chrono::seconds timeout = kDefaultTimeout;
  bool direct = false;                    // start the helper without asking for elevation
  bool allow_replaceable_helper = false;  // skip the check that the user cannot replace the helper

  friend bool operator==(const CliOptions&, const CliOptions&) = default;
};

// Exit statuses of tarnwick-client.
enum CliExit : int {
  kCliOk = 0,
  kCliHelperSaidNo = 1,  // refused or failed; the helper's message on standard error
  kCliUsage = 2,         // the client's own command line is wrong
  kCliNoAnswer = 3,      // the helper could not be run or gave no usable answer
};

// `args` are the UTF-8 arguments after the program name. Options may stand
// anywhere; "--" ends them, so that a name may begin with "-". The error is
// one line saying what is wrong (for "usage error: ...").
Result<CliOptions> parse_cli_args(const std::vector<std::string>& args);

// The --help text, ending with a line feed.
extern const std::string_view kCliHelp;

}  // namespace tarnwick::client

#pragma once

// tarnwick-client's work, apart from the process and the console: parse the
// arguments, make one call through the helper, print the answer.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_args.hpp"
#include "client/helper_runner.hpp"

namespace tarnwick::cli {

// Standard output and error (UTF-8 text), and the console's width in columns
// when standard output is a console.
class CliConsole {
 public:
  virtual ~CliConsole() = default;
  virtual void out(std::string_view text) = 0;
  virtual void err(std::string_view text) = 0;
  virtual std::optional<std::size_t> width() = 0;
};

// Makes the runner for the parsed options (helper path, timeout, elevation).
using RunnerFactory = std::function<std::unique_ptr<client::HelperRunner>(const CliOptions&)>;

// `args` are the UTF-8 arguments after the program name; returns the exit status.
int run_cli(const std::vector<std::string>& args, CliConsole& console, const RunnerFactory& make_runner);

// The exit status for a call that failed.
int cli_exit_for(const client::ClientError& error);

}  // namespace tarnwick::cli

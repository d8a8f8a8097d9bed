// Lists the machine-wide startup entries, disables the one named on the
// command line and enables it again, then empties the system's Temp folders:
// through the C++ library (find_package(tarnwick), target tarnwick::client),
// with tarnwick-helper.exe beside the exe.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "client/client.hpp"
#include "client/helper_runner_win.hpp"

using namespace tarnwick::client;

namespace {

int fail(const ClientError& error) {
  std::fprintf(stderr, "%s\n", describe(error).c_str());
  return 1;
}

void print(const std::vector<StartupEntry>& entries) {
  for (const StartupEntry& entry : entries) {
    std::printf("%s\t%s\t%s\n", entry.name.c_str(), entry.enabled ? "on" : "off", entry.command.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  LaunchOptions options;
  options.helper_path = helper_beside_this_program();
  // A development build only: its helper lies in a folder the user can write.
  const int first = argc > 1 && std::string(argv[1]) == "--allow-replaceable-helper" ? 2 : 1;
  options.allow_replaceable_helper = first == 2;
  WinHelperRunner runner(options);
  Client helper(runner);

  Outcome<std::vector<StartupEntry>> entries = helper.list_startup_entries();
  if (!entries) return fail(entries.error());
  print(entries.value());
  if (argc > first) {
    const std::string name = argv[first];  // an app passes UTF-8
    for (const bool enabled : {false, true}) {
      Outcome<tarnwick::Done> done = helper.set_startup_enabled(name, enabled);
      if (!done) return fail(done.error());
      std::printf("%s %s\n", enabled ? "enabled" : "disabled", name.c_str());
    }
  }
  Outcome<std::uint64_t> freed = helper.clean_system();
  if (!freed) return fail(freed.error());
  std::printf("freed %llu bytes\n", static_cast<unsigned long long>(freed.value()));
  return 0;
}

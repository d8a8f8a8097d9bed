#pragma once

// Where a helper may be started from. The path is given by the app; for a
// start with administrator rights it must also name the same file for the
// elevated start as for the check before it: a drive letter that the user
// alone defined (subst, DefineDosDevice, a mapped network drive) can be
// pointed elsewhere between the two, and a network share is not under the
// machine's control at all.

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::client {

// A full path: "X:\..." or a "\\..." form (a share, "\\?\X:\..."). Relative
// forms ("tool.exe", "bin\tool.exe", "X:tool.exe", "\tool.exe") depend on the
// current folder or drive and are refused.
bool is_full_path(std::u16string_view path);

// What a drive letter stands for: as this process sees it (its own logon's
// definitions first, then the machine's), and in the machine's global map.
struct DriveTargets {
  std::optional<std::u16string> seen;    // nullopt: the letter is not defined
  std::optional<std::u16string> global;  // nullopt: not in the global map
  // The system keeps one map for everyone (no separate global one, as under
  // Wine): `global` is not read, and only `seen` counts.
  bool single_map = false;
};

// Why `full_path` may not be started with administrator rights, or nullopt
// when it may. A letter whose target this process sees is the global map's
// cannot be shadowed afterwards: outside LocalSystem, DefineDosDevice refuses
// a name that the global map already holds. a network path ("\\server\share\...", "\\?\UNC\...", device
// paths) is refused; a drive letter must be one of the machine's own: the
// same target in this process's view as in the global map (with a single
// map, a target that is a device, "\Device\...", not another path as subst
// makes). `targets` reads a letter ('A' to 'Z').
template <class Targets>
std::optional<std::string> refuse_helper_location(std::u16string_view full_path, Targets&& targets);

// The drive letter of "X:\..." or "\\?\X:\..." in uppercase, else nullopt.
std::optional<char16_t> drive_letter(std::u16string_view full_path);

std::optional<std::string> refuse_drive_targets(char16_t letter, const DriveTargets& targets);

template <class Targets>
std::optional<std::string> refuse_helper_location(std::u16string_view full_path, Targets&& targets) {
  const auto letter = drive_letter(full_path);
  if (!letter) {
    return std::string(
        "it is not on one of this machine's drives (a network share or device path); an elevated helper is started "
        "only from a local drive");
  }
  return refuse_drive_targets(*letter, targets(*letter));
}

}  // namespace tarnwick::client

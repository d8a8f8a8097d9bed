#pragma once

// Whether the user the helper is raised from could replace the helper exe,
// decided over a plain description of each path component's owner and
// access list (read on Windows by replaceable_helper_win.cpp). Starting a
// helper that the unelevated user can swap would run that user's choice of
// program with administrator rights.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::client {

// Access rights as a file's access list carries them.
namespace file_right {
inline constexpr std::uint32_t kWriteData = 0x2;   // a folder: add a file
inline constexpr std::uint32_t kAppendData = 0x4;  // a folder: add a subfolder
inline constexpr std::uint32_t kDeleteChild = 0x40;
inline constexpr std::uint32_t kDelete = 0x10000;
inline constexpr std::uint32_t kWriteDac = 0x40000;
inline constexpr std::uint32_t kWriteOwner = 0x80000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
}  // namespace file_right

struct AccessEntry {
  enum class Kind { Allow, Deny };
  Kind kind = Kind::Allow;
  std::string sid;  // "S-1-5-32-545"
  std::uint32_t mask = 0;
  bool inherit_only = false;  // applies to what is created inside, not to the object itself

  friend bool operator==(const AccessEntry&, const AccessEntry&) = default;
};

struct PathComponent {
  enum class Role {
    Helper,        // the exe itself
    HelperFolder,  // the folder holding it
    Above,         // every folder above, up to the root of its volume
  };
  Role role = Role::Helper;
  std::string path;  // UTF-8, for the message
  std::string owner_sid;
  std::optional<std::vector<AccessEntry>> dacl;  // nullopt: no access list, anyone may do anything

  friend bool operator==(const PathComponent&, const PathComponent&) = default;
};

// The identity whose processes must not be able to replace the helper: for
// an elevated process the unelevated token linked to it, else its own.
struct UserIdentity {
  std::string user_sid;
  std::vector<std::string> groups;            // enabled groups
  std::vector<std::string> deny_only_groups;  // count for deny entries only
};

struct Replaceable {
  std::string path;  // the component that gives it away
  PathComponent::Role role = PathComponent::Role::Helper;
  enum class Why { Owner, NoAccessList, Granted } why = Why::Granted;
  std::string sid;           // the owner, or who is granted the rights
  std::uint32_t rights = 0;  // Granted: the rights that give it away

  friend bool operator==(const Replaceable&, const Replaceable&) = default;
};

// The first component, from the exe upwards, that lets the user replace the
// helper; nullopt when none does. What gives it away:
// - the user (or an enabled group of theirs) owns it: an owner may always
//   change the access list;
// - it has no access list at all;
// - the entries, read in order as Windows reads them (a right denied before
//   it is allowed stays denied), grant the user's SIDs a right that changes
//   or removes it: on the exe write data, append data, delete, change
//   permissions, take ownership; on the folder holding it also add a file or
//   subfolder and delete a child; on the folders above delete, delete a
//   child, change permissions, take ownership (adding a new entry there
//   replaces nothing: every volume's root lets users add folders).
// Administrators and SYSTEM never count as the user: a process without
// administrator rights holds them for deny entries at most.
std::optional<Replaceable> find_replaceable(const std::vector<PathComponent>& components, const UserIdentity& user);

// "C:\Tools is owned by PC\me", "C:\Tools\tarnwick-helper.exe grants BUILTIN\Users
// write data, delete"; `who` is the account's name for `found.sid`.
std::string describe_replaceable(const Replaceable& found, std::string_view who);

// The path and every folder above it up to its root, from the path itself
// upwards: "C:\a\b" gives "C:\a\b", "C:\a", "C:\". Roots: "X:\", "\\server\share\",
// and their "\\?\" forms; nullopt for any other form, a relative path, or an
// empty, "." or ".." component.
std::optional<std::vector<std::u16string>> path_and_folders_above(std::u16string_view full_path);

}  // namespace tarnwick::client

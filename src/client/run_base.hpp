#pragma once

// Where a client bases its run folders, whose they are, and whether a base
// may be used: decided over plain descriptions (read on Windows by
// run_base_win.cpp), so that the rules are the same everywhere.
//
// The helper writes its answer as the process that started it. A client
// that holds Administrators (elevated, or with no split token at all) starts
// a helper that writes with administrator rights: its run folder must lie
// where no folder from the volume's root down can be changed by the user's
// processes that lack those rights, else they could swap a folder on the way
// for a link and have the answer written wherever administrators may write.
// Any other client's helper writes with that user's own rights, so the
// user's own folder is as safe as the user's own writes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/replaceable_helper.hpp"

namespace tarnwick::client {

enum class RunBase {
  UserLocalAppData,  // the user's local application data folder
  WindowsDirectory,  // kRunBaseName in the system's Windows directory, only administrators may change it
};

// The folder an administrator's run folders are made in, inside the
// system's Windows directory.
inline constexpr std::string_view kRunBaseName = "tarnwick-runs";

// The owner and access list (SDDL) the administrators' base folder is made
// with: owned by Administrators, Administrators and SYSTEM alone, nothing
// inherited.
inline constexpr std::string_view kAdministratorsOnlySddl = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

struct RunFolderPlan {
  RunBase base = RunBase::UserLocalAppData;
  std::string sddl;  // the run folder's owner (when set) and protected access list

  friend bool operator==(const RunFolderPlan&, const RunFolderPlan&) = default;
};

// Decided by whether the client's token holds Administrators as an enabled
// group, not by whether it is elevated: an elevated token without it (a
// member of Backup Operators, say) can neither make Administrators a
// folder's owner nor write in a folder only administrators may change, and
// its helper writes with no administrator rights either. `user_sid` is the
// client's own account ("S-1-..."), used when it is not an administrator.
RunFolderPlan plan_run_folder(bool administrator, std::string_view user_sid);

// FILE_PERSISTENT_ACLS, as GetVolumeInformationByHandleW reports it.
inline constexpr std::uint32_t kVolumePersistentAcls = 0x8;

struct RunBaseProblem {
  enum class Kind {
    NoPersistentAcls,  // FAT, exFAT and the like: anyone may change anything there
    Changeable,        // `found` says which folder and how
  };
  Kind kind = Kind::Changeable;
  std::optional<Replaceable> found;

  friend bool operator==(const RunBaseProblem&, const RunBaseProblem&) = default;
};

// Whether a base may hold an administrator's run folders. `from_base_up`:
// the base and every folder above it up to its volume's root, in that order
// (their roles are set here: the base is held to the rules of a helper's own
// folder, nobody may add to it, delete from it or change it; the folders
// above to those of the folders above a helper, nobody may delete, rename
// or change them, while adding beside them is allowed, as every volume's
// root allows). `volume_flags`: the file system's flags. nullopt: usable.
std::optional<RunBaseProblem> find_run_base_problem(std::vector<PathComponent> from_base_up, std::uint32_t volume_flags,
                                                    const UserIdentity& user);

// "C:\Windows\tarnwick-runs is on a volume that keeps no access lists", or
// describe_replaceable's text; `who` is the account's name for found->sid.
std::string describe_run_base_problem(const RunBaseProblem& problem, std::string_view base_path, std::string_view who);

}  // namespace tarnwick::client

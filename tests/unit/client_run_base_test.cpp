// Where a client makes its run folder and whose it is: by Administrators
// membership, not by elevation; and an administrator's base is refused
// when its volume keeps no access lists or when the user's processes without
// administrator rights could change it or any folder above it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "client/run_base.hpp"

namespace tarnwick::client {
namespace {

using Role = PathComponent::Role;
using Kind = AccessEntry::Kind;
using namespace file_right;

constexpr char kMe[] = "S-1-5-21-1-2-3-1001";
constexpr char kEveryone[] = "S-1-1-0";
constexpr char kAuthenticated[] = "S-1-5-11";
constexpr char kUsers[] = "S-1-5-32-545";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kSystem[] = "S-1-5-18";
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr char kCreatorOwner[] = "S-1-3-0";

constexpr std::uint32_t kFullControl = 0x1F01FF;
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kModify = 0x1301BF;
// What NTFS reports for a system volume.
constexpr std::uint32_t kNtfsFlags = 0x03E706FF;
// exFAT: case preserved, Unicode names, no access lists.
constexpr std::uint32_t kExFatFlags = 0x00000006;

// An administrator's unelevated token.
const UserIdentity kUser{kMe, {kEveryone, kAuthenticated, kUsers}, {kAdministrators}};

TEST(RunFolderPlan, AdministratorsMembershipDecidesBaseAndOwner) {
  struct Case {
    const char* what;
    bool administrator;
    RunFolderPlan plan;
  };
  const Case cases[] = {
      // Elevated, or an administrator without a split token: only
      // administrators may change the folder, and they own it.
      {"holds Administrators", true, {RunBase::WindowsDirectory, "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"}},
      // Unelevated, or elevated without Administrators (a member of Backup
      // Operators alone cannot make Administrators an owner): the user's
      // own folder, the user alone.
      {"does not hold it", false, {RunBase::UserLocalAppData, std::string("D:P(A;OICI;FA;;;") + kMe + ")"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plan_run_folder(c.administrator, kMe), c.plan) << c.what;
  }
  EXPECT_EQ(kAdministratorsOnlySddl, plan_run_folder(true, "").sddl);
}

std::vector<AccessEntry> windows_directory_list() {
  return {{Kind::Allow, kTrustedInstaller, kFullControl},    {Kind::Allow, kSystem, kModify},
          {Kind::Allow, kSystem, kGenericAll, true},         {Kind::Allow, kAdministrators, kModify},
          {Kind::Allow, kAdministrators, kGenericAll, true}, {Kind::Allow, kUsers, kReadExecute},
          {Kind::Allow, kCreatorOwner, kGenericAll, true}};
}

// C:\Windows\tarnwick-runs as the client makes it, from the base up.
// Roles are given wrongly on purpose: the check sets them by position.
std::vector<PathComponent> windows_base() {
  return {
      {Role::Above, "C:\\Windows\\tarnwick-runs", kAdministrators,
       std::vector<AccessEntry>{{Kind::Allow, kAdministrators, kFullControl}, {Kind::Allow, kSystem, kFullControl}}},
      {Role::Helper, "C:\\Windows", kTrustedInstaller, windows_directory_list()},
      // Every volume's root lets users add folders; that changes nothing above the base.
      {Role::Helper, "C:\\", kTrustedInstaller,
       std::vector<AccessEntry>{{Kind::Allow, kAdministrators, kFullControl},
                                {Kind::Allow, kSystem, kFullControl},
                                {Kind::Allow, kUsers, kReadExecute},
                                {Kind::Allow, kAuthenticated, kAppendData},
                                {Kind::Allow, kAuthenticated, kModify, true}}},
  };
}

void add(PathComponent& component, AccessEntry entry) { component.dacl->push_back(std::move(entry)); }

TEST(RunBase, IsRefusedWhenTheUserCouldChangeItOrAFolderAboveOrItsVolumeKeepsNoAccessLists) {
  struct Case {
    const char* what;
    void (*change)(std::vector<PathComponent>&);
    std::uint32_t volume_flags;
    std::optional<std::string> refusal;  // with the SID as the name
  };
  const Case cases[] = {
      {"as the client makes it, on NTFS", [](auto&) {}, kNtfsFlags, std::nullopt},
      {"on exFAT", [](auto&) {}, kExFatFlags,
       "C:\\Windows\\tarnwick-runs is on a volume that keeps no access lists (anyone may change it)"},
      {"the base made earlier by the user", [](auto& c) { c[0].owner_sid = kMe; }, kNtfsFlags,
       "C:\\Windows\\tarnwick-runs is owned by S-1-5-21-1-2-3-1001"},
      // Adding to the base would let the user plant folders among the runs.
      {"the base lets users add a subfolder",
       [](auto& c) {
         add(c[0], {Kind::Allow, kUsers, kAppendData});
       },
       kNtfsFlags, "C:\\Windows\\tarnwick-runs grants S-1-5-32-545 add a subfolder"},
      {"the base lets users delete a child",
       [](auto& c) {
         add(c[0], {Kind::Allow, kUsers, kDeleteChild});
       },
       kNtfsFlags, "C:\\Windows\\tarnwick-runs grants S-1-5-32-545 delete a child"},
      {"the folder above lets Everyone delete a child (rename the base away)",
       [](auto& c) {
         add(c[1], {Kind::Allow, kEveryone, kDeleteChild});
       },
       kNtfsFlags, "C:\\Windows grants S-1-1-0 delete a child"},
      {"the folder above lets users add a folder only",
       [](auto& c) {
         add(c[1], {Kind::Allow, kUsers, kAppendData});
       },
       kNtfsFlags, std::nullopt},
      {"the root has no access list", [](auto& c) { c[2].dacl.reset(); }, kNtfsFlags,
       "C:\\ has no access control list (anyone may change it)"},
      // The unelevated token holds Administrators for deny entries only.
      {"Administrators may do anything",
       [](auto& c) {
         add(c[1], {Kind::Allow, kAdministrators, kFullControl});
       },
       kNtfsFlags, std::nullopt},
  };
  for (const Case& c : cases) {
    auto components = windows_base();
    c.change(components);
    const auto problem = find_run_base_problem(components, c.volume_flags, kUser);
    ASSERT_EQ(problem.has_value(), c.refusal.has_value()) << c.what;
    if (!problem) continue;
    const std::string who = problem->found ? problem->found->sid : "";
    EXPECT_EQ(describe_run_base_problem(*problem, "C:\\Windows\\tarnwick-runs", who), *c.refusal) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick::client

// The client refuses to raise a helper that the unelevated user could swap:
// decided from each path component's owner and access list, read in order as
// Windows reads them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "client/replaceable_helper.hpp"

namespace tarnwick::client {
namespace {

using Role = PathComponent::Role;
using Kind = AccessEntry::Kind;
using namespace file_right;

constexpr char kMe[] = "S-1-5-21-1-2-3-1001";
constexpr char kSomeoneElse[] = "S-1-5-21-1-2-3-1002";
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

// A standard user, or an administrator's unelevated token.
const UserIdentity kUser{kMe, {kEveryone, kAuthenticated, kUsers}, {kAdministrators}};

std::vector<AccessEntry> admins_only() {
  return {{Kind::Allow, kSystem, kFullControl},
          {Kind::Allow, kAdministrators, kFullControl},
          {Kind::Allow, kUsers, kReadExecute},
          {Kind::Allow, kCreatorOwner, kGenericAll, true}};
}

// C:\Program Files\Tarnwick\tarnwick-helper.exe as an elevated installer leaves it.
std::vector<PathComponent> installed() {
  return {
      {Role::Helper, "C:\\Program Files\\Tarnwick\\tarnwick-helper.exe", kAdministrators, admins_only()},
      {Role::HelperFolder, "C:\\Program Files\\Tarnwick", kAdministrators, admins_only()},
      {Role::Above, "C:\\Program Files", kTrustedInstaller,
       std::vector<AccessEntry>{{Kind::Allow, kTrustedInstaller, kFullControl},
                                {Kind::Allow, kSystem, kModify},
                                {Kind::Allow, kAdministrators, kModify},
                                {Kind::Allow, kUsers, kReadExecute},
                                {Kind::Allow, kCreatorOwner, kGenericAll, true}}},
      // Every volume's root lets users add folders; that replaces nothing.
      {Role::Above, "C:\\", kTrustedInstaller,
       std::vector<AccessEntry>{{Kind::Allow, kAdministrators, kFullControl},
                                {Kind::Allow, kSystem, kFullControl},
                                {Kind::Allow, kUsers, kReadExecute},
                                {Kind::Allow, kAuthenticated, kAppendData},
                                {Kind::Allow, kAuthenticated, kModify, true}}},
  };
}

struct Case {
  const char* what;
  void (*change)(std::vector<PathComponent>&, UserIdentity&);
  std::optional<std::string> refusal;  // describe_replaceable, with the SID as the name
};

void add(PathComponent& component, AccessEntry entry) { component.dacl->push_back(std::move(entry)); }
void add_first(PathComponent& component, AccessEntry entry) {
  component.dacl->insert(component.dacl->begin(), std::move(entry));
}

const Case kCases[] = {
    {"installed under Program Files", [](auto&, auto&) {}, std::nullopt},
    {"the exe owned by the user (a download)", [](auto& c, auto&) { c[0].owner_sid = kMe; },
     "C:\\Program Files\\Tarnwick\\tarnwick-helper.exe is owned by S-1-5-21-1-2-3-1001"},
    {"a folder above owned by the user", [](auto& c, auto&) { c[2].owner_sid = kMe; },
     "C:\\Program Files is owned by S-1-5-21-1-2-3-1001"},
    {"a folder above with no access list", [](auto& c, auto&) { c[3].dacl.reset(); },
     "C:\\ has no access control list (anyone may change it)"},
    {"the exe writable by Users through a generic right",
     [](auto& c, auto&) {
       add(c[0], {Kind::Allow, kUsers, kGenericWrite});
     },
     "C:\\Program Files\\Tarnwick\\tarnwick-helper.exe grants S-1-5-32-545 write data, append data"},
    {"the exe may be deleted by the user",
     [](auto& c, auto&) {
       add(c[0], {Kind::Allow, kMe, kDelete});
     },
     "C:\\Program Files\\Tarnwick\\tarnwick-helper.exe grants S-1-5-21-1-2-3-1001 delete"},
    {"the folder lets Authenticated Users add a file (a DLL beside the exe)",
     [](auto& c, auto&) {
       add(c[1], {Kind::Allow, kAuthenticated, kWriteData});
     },
     "C:\\Program Files\\Tarnwick grants S-1-5-11 add a file"},
    {"a folder above lets Everyone delete a child",
     [](auto& c, auto&) {
       add(c[2], {Kind::Allow, kEveryone, kDeleteChild});
     },
     "C:\\Program Files grants S-1-1-0 delete a child"},
    {"a folder above lets Users change permissions and take ownership",
     [](auto& c, auto&) {
       add(c[3], {Kind::Allow, kUsers, kWriteDac | kWriteOwner});
     },
     "C:\\ grants S-1-5-32-545 change permissions, take ownership"},
    {"a folder above lets users add a subfolder only",
     [](auto& c, auto&) {
       add(c[2], {Kind::Allow, kUsers, kAppendData | kWriteData});
     },
     std::nullopt},
    {"a right denied before it is allowed stays denied",
     [](auto& c, auto&) {
       add_first(c[0], {Kind::Deny, kEveryone, kWriteData | kAppendData | kDelete | kWriteDac | kWriteOwner});
       add(c[0], {Kind::Allow, kUsers, kFullControl});
     },
     std::nullopt},
    {"a right allowed before it is denied stays allowed",
     [](auto& c, auto&) {
       add_first(c[0], {Kind::Allow, kUsers, kWriteData});
       add(c[0], {Kind::Deny, kEveryone, kWriteData});
     },
     "C:\\Program Files\\Tarnwick\\tarnwick-helper.exe grants S-1-5-32-545 write data"},
    {"a deny entry for a deny-only group still denies",
     [](auto& c, auto&) {
       add_first(c[1], {Kind::Deny, kAdministrators, kDeleteChild});
       add(c[1], {Kind::Allow, kUsers, kDeleteChild});
     },
     std::nullopt},
    {"an entry that only passes on to new children",
     [](auto& c, auto&) {
       add(c[1], {Kind::Allow, kUsers, kFullControl, true});
     },
     std::nullopt},
    {"an entry for another user",
     [](auto& c, auto&) {
       add(c[0], {Kind::Allow, kSomeoneElse, kFullControl});
     },
     std::nullopt},
    {"Administrators enabled (no split token): Administrators' rights do not count",
     [](auto& c, UserIdentity& user) {
       user.groups.push_back(kAdministrators);
       user.deny_only_groups.clear();
       c[0].owner_sid = kAdministrators;
     },
     std::nullopt},
    {"the first entry that grants a wanted right is named",
     [](auto& c, auto&) {
       add(c[1], {Kind::Allow, kUsers, 0x20});  // traverse: not a right that replaces anything
       add(c[1], {Kind::Allow, kAuthenticated, kDeleteChild});
       add(c[1], {Kind::Allow, kEveryone, kDelete});
     },
     "C:\\Program Files\\Tarnwick grants S-1-5-11 delete a child, delete"},
};

TEST(ReplaceableHelper, OwnersAndAccessListsDecide) {
  for (const Case& c : kCases) {
    std::vector<PathComponent> components = installed();
    UserIdentity user = kUser;
    c.change(components, user);
    const auto found = find_replaceable(components, user);
    const std::optional<std::string> text =
        found ? std::optional<std::string>(describe_replaceable(*found, found->sid)) : std::nullopt;
    EXPECT_EQ(text, c.refusal) << c.what;
  }
}

TEST(ReplaceableHelper, PathAndFoldersAboveReachTheRoot) {
  struct PathCase {
    std::u16string path;
    std::optional<std::vector<std::u16string>> chain;
  };
  const PathCase cases[] = {
      {u"C:\\a\\b\\h.exe", std::vector<std::u16string>{u"C:\\a\\b\\h.exe", u"C:\\a\\b", u"C:\\a", u"C:\\"}},
      {u"C:\\", std::vector<std::u16string>{u"C:\\"}},
      {u"\\\\?\\C:\\a", std::vector<std::u16string>{u"\\\\?\\C:\\a", u"\\\\?\\C:\\"}},
      {u"\\\\srv\\share\\x", std::vector<std::u16string>{u"\\\\srv\\share\\x", u"\\\\srv\\share\\"}},
      {u"\\\\?\\UNC\\srv\\share\\x\\",
       std::vector<std::u16string>{u"\\\\?\\UNC\\srv\\share\\x", u"\\\\?\\UNC\\srv\\share\\"}},
      {u"\\\\srv\\share", std::vector<std::u16string>{u"\\\\srv\\share\\"}},
      {u"h.exe", std::nullopt},
      {u"a\\h.exe", std::nullopt},
      {u"C:h.exe", std::nullopt},
      {u"\\h.exe", std::nullopt},
      {u"\\\\.\\C:\\h.exe", std::nullopt},
      {u"\\\\?\\GLOBALROOT\\Device\\h.exe", std::nullopt},
      {u"C:\\a\\..\\h.exe", std::nullopt},
      {u"C:\\a\\.\\h.exe", std::nullopt},
      {u"C:\\a\\\\h.exe", std::nullopt},
      {u"\\\\srv", std::nullopt},
      {u"\\\\srv\\\\x", std::nullopt},
      {u"", std::nullopt},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(path_and_folders_above(c.path), c.chain) << std::string(c.path.begin(), c.path.end());
  }
}

}  // namespace
}  // namespace tarnwick::client

#include "client/replaceable_helper.hpp"

#include <algorithm>
#include <array>

namespace tarnwick::client {
namespace {

using namespace file_right;

constexpr std::uint32_t kFileAllAccess = 0x1F01FF;
constexpr std::uint32_t kFileGenericWrite = 0x120116;

constexpr std::uint32_t kChangesAnything = kDelete | kWriteDac | kWriteOwner;

std::uint32_t rights_that_replace(PathComponent::Role role) {
  switch (role) {
    case PathComponent::Role::Helper:
      return kChangesAnything | kWriteData | kAppendData;
    case PathComponent::Role::HelperFolder:
      return kChangesAnything | kWriteData | kAppendData | kDeleteChild;
    case PathComponent::Role::Above:
      break;
  }
  return kChangesAnything | kDeleteChild;
}

// Generic rights as the file system maps them.
std::uint32_t mapped(std::uint32_t mask) {
  if (mask & kGenericAll) mask |= kFileAllAccess;
  if (mask & kGenericWrite) mask |= kFileGenericWrite;
  return mask;
}

// Administrators and SYSTEM: held by no process of the user that lacks
// administrator rights (for Administrators at most as deny-only).
bool is_administrative(std::string_view sid) { return sid == "S-1-5-32-544" || sid == "S-1-5-18"; }

bool contains(const std::vector<std::string>& sids, std::string_view sid) {
  return std::find(sids.begin(), sids.end(), sid) != sids.end();
}

bool allowed_to(const UserIdentity& user, std::string_view sid) {
  return !is_administrative(sid) && (sid == user.user_sid || contains(user.groups, sid));
}

bool denied_to(const UserIdentity& user, std::string_view sid) {
  return sid == user.user_sid || contains(user.groups, sid) || contains(user.deny_only_groups, sid);
}

struct Grant {
  std::uint32_t rights = 0;
  std::string first_sid;  // the first entry that granted one of the rights looked for
};

// The rights the entries grant the user, read in order: a right denied
// earlier stays denied, one allowed earlier stays allowed.
Grant granted(const std::vector<AccessEntry>& entries, const UserIdentity& user, std::uint32_t wanted) {
  Grant grant;
  std::uint32_t denied = 0;
  for (const AccessEntry& entry : entries) {
    if (entry.inherit_only) continue;
    const std::uint32_t mask = mapped(entry.mask);
    if (entry.kind == AccessEntry::Kind::Deny) {
      if (denied_to(user, entry.sid)) denied |= mask & ~grant.rights;
    } else if (allowed_to(user, entry.sid)) {
      const std::uint32_t added = mask & ~denied & ~grant.rights;
      if ((added & wanted) != 0 && grant.first_sid.empty()) grant.first_sid = entry.sid;
      grant.rights |= added;
    }
  }
  return grant;
}

struct RightName {
  std::uint32_t right;
  const char* on_file;
  const char* on_folder;
};

constexpr std::array<RightName, 6> kRightNames{{
    {kWriteData, "write data", "add a file"},
    {kAppendData, "append data", "add a subfolder"},
    {kDeleteChild, "delete a child", "delete a child"},
    {kDelete, "delete", "delete"},
    {kWriteDac, "change permissions", "change permissions"},
    {kWriteOwner, "take ownership", "take ownership"},
}};

}  // namespace

std::optional<Replaceable> find_replaceable(const std::vector<PathComponent>& components, const UserIdentity& user) {
  for (const PathComponent& component : components) {
    if (allowed_to(user, component.owner_sid)) {
      return Replaceable{component.path, component.role, Replaceable::Why::Owner, component.owner_sid, 0};
    }
    if (!component.dacl) return Replaceable{component.path, component.role, Replaceable::Why::NoAccessList, "", 0};
    const std::uint32_t wanted = rights_that_replace(component.role);
    const Grant grant = granted(*component.dacl, user, wanted);
    if ((grant.rights & wanted) != 0) {
      return Replaceable{component.path, component.role, Replaceable::Why::Granted, grant.first_sid,
                         grant.rights & wanted};
    }
  }
  return std::nullopt;
}

std::string describe_replaceable(const Replaceable& found, std::string_view who) {
  switch (found.why) {
    case Replaceable::Why::Owner:
      return found.path + " is owned by " + std::string(who);
    case Replaceable::Why::NoAccessList:
      return found.path + " has no access control list (anyone may change it)";
    case Replaceable::Why::Granted:
      break;
  }
  // A folder's rights read as what they allow inside it.
  const bool folder = found.role != PathComponent::Role::Helper;
  std::string text = found.path + " grants " + std::string(who);
  const char* separator = " ";
  for (const RightName& name : kRightNames) {
    if ((found.rights & name.right) == 0) continue;
    text += separator;
    text += folder ? name.on_folder : name.on_file;
    separator = ", ";
  }
  return text;
}

std::optional<std::vector<std::u16string>> path_and_folders_above(std::u16string_view full_path) {
  std::u16string_view rest = full_path;
  std::size_t root_length = 0;
  const auto is_drive = [](std::u16string_view text) {
    return text.size() >= 3 && ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z')) &&
           text[1] == u':' && text[2] == u'\\';
  };
  std::u16string_view prefix;
  if (rest.starts_with(u"\\\\?\\UNC\\")) {
    prefix = rest.substr(0, 8);
  } else if (rest.starts_with(u"\\\\?\\")) {
    prefix = rest.substr(0, 4);
    if (!is_drive(rest.substr(4))) return std::nullopt;
  } else if (rest.starts_with(u"\\\\")) {
    prefix = rest.substr(0, 2);
    if (rest.size() > 2 && (rest[2] == u'.' || rest[2] == u'?')) return std::nullopt;  // device namespaces
  }
  rest.remove_prefix(prefix.size());
  if (prefix.empty() || prefix == u"\\\\?\\") {
    if (!is_drive(rest)) return std::nullopt;
    root_length = prefix.size() + 3;
  } else {
    // server\share\ : two names, then a separator or the end.
    const auto server_end = rest.find(u'\\');
    if (server_end == 0 || server_end == std::u16string_view::npos) return std::nullopt;
    const auto share_end = rest.find(u'\\', server_end + 1);
    if (share_end == server_end + 1) return std::nullopt;
    root_length = prefix.size() + (share_end == std::u16string_view::npos ? rest.size() : share_end + 1);
  }

  std::u16string root(full_path.substr(0, root_length));
  if (root.back() != u'\\') root.push_back(u'\\');
  std::vector<std::u16string> chain{root};
  std::u16string_view names = full_path.substr(std::min(root_length, full_path.size()));
  if (names.ends_with(u'\\')) names.remove_suffix(1);
  std::u16string current = root;
  while (!names.empty()) {
    const auto end = names.find(u'\\');
    const std::u16string_view name = names.substr(0, end);
    if (name.empty() || name == u"." || name == u"..") return std::nullopt;
    if (current.back() != u'\\') current.push_back(u'\\');
    current += name;
    chain.push_back(current);
    names.remove_prefix(end == std::u16string_view::npos ? names.size() : end + 1);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

}  // namespace tarnwick::client

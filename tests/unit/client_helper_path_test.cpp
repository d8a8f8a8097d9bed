// Where the client starts a helper from: only a full path, and with
// administrator rights only from a drive that is the machine's own (a letter
// the user alone defined could be pointed elsewhere between the check and
// the start).

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "client/helper_path.hpp"

namespace tarnwick::client {
namespace {

TEST(HelperPath, OnlyAFullPathIsAccepted) {
  struct Case {
    std::u16string path;
    bool full;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Tarnwick\\tarnwick-helper.exe", true},
      {u"c:/tools/tarnwick-helper.exe", true},
      {u"\\\\server\\share\\tarnwick-helper.exe", true},  // full; refused later for a start with admin rights
      {u"\\\\?\\C:\\Tools\\tarnwick-helper.exe", true},
      {u"tarnwick-helper.exe", false},
      {u"bin\\tarnwick-helper.exe", false},
      {u".\\tarnwick-helper.exe", false},
      {u"..\\tarnwick-helper.exe", false},
      {u"C:tarnwick-helper.exe", false},  // the current folder of drive C:
      {u"\\tarnwick-helper.exe", false},  // the root of the current drive
      {u"\\\\", false},
      {u"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(is_full_path(c.path), c.full);
  }
}

// A machine whose global map has C: and D:; this user's view differs as
// each case says.
TEST(HelperPath, AStartWithAdminRightsIsRefusedOffTheMachinesOwnDrives) {
  const std::map<char16_t, std::u16string> global{{u'C', u"\\Device\\HarddiskVolume3"},
                                                  {u'D', u"\\Device\\HarddiskVolume4"}};
  struct Case {
    const char* what;
    std::u16string path;
    std::map<char16_t, std::u16string> seen;  // this user's view
    bool single_map;
    std::optional<std::string> refusal;  // the start of the reason, nullopt: accepted
  };
  const std::map<char16_t, std::u16string> same = global;
  const Case cases[] = {
      {"a machine drive", u"C:\\Program Files\\T\\tarnwick-helper.exe", same, false, std::nullopt},
      {"lowercase, long form", u"\\\\?\\d:\\T\\tarnwick-helper.exe", same, false, std::nullopt},
      {"subst drive",
       u"S:\\tarnwick-helper.exe",
       {{u'C', global.at(u'C')}, {u'S', u"\\??\\C:\\Users\\me\\t"}},
       false,
       "drive S: is defined for this user only"},
      {"mapped network drive",
       u"N:\\tarnwick-helper.exe",
       {{u'N', u"\\Device\\LanmanRedirector\\;N:0000000000012345\\server\\share"}},
       false,
       "drive N: is defined for this user only"},
      {"the user's own C:",
       u"C:\\Program Files\\T\\tarnwick-helper.exe",
       {{u'C', u"\\??\\D:\\fake"}},
       false,
       "drive C: stands for \\??\\D:\\fake for this user but for "},
      {"undefined letter", u"Q:\\tarnwick-helper.exe", same, false, "drive Q: is not defined"},
      {"share", u"\\\\server\\share\\tarnwick-helper.exe", same, false, "it is not on one of this machine's drives"},
      {"share, long form", u"\\\\?\\UNC\\server\\share\\tarnwick-helper.exe", same, false,
       "it is not on one of this machine's drives"},
      {"device path", u"\\\\.\\C:\\tarnwick-helper.exe", same, false, "it is not on one of this machine's drives"},
      // One map for everyone (Wine): a device is the machine's, a path (subst) is not.
      {"single map, device", u"Z:\\b\\tarnwick-helper.exe", {{u'Z', u"\\Device\\HarddiskVolume2"}}, true, std::nullopt},
      {"single map, subst",
       u"Q:\\tarnwick-helper.exe",
       {{u'Q', u"\\??\\C:\\windows"}},
       true,
       "drive Q: stands for \\??\\C:\\windows, not for a device of its own"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto targets = [&](char16_t letter) {
      DriveTargets found;
      found.single_map = c.single_map;
      if (const auto it = c.seen.find(letter); it != c.seen.end()) found.seen = it->second;
      if (const auto it = global.find(letter); it != global.end() && !c.single_map) found.global = it->second;
      return found;
    };
    const auto refusal = refuse_helper_location(c.path, targets);
    ASSERT_EQ(refusal.has_value(), c.refusal.has_value()) << refusal.value_or("accepted");
    if (refusal) {
      EXPECT_EQ(refusal->rfind(*c.refusal, 0), 0u) << *refusal;
    }
  }
}

}  // namespace
}  // namespace tarnwick::client

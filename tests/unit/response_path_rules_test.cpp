#include <gtest/gtest.h>

#include <string>

#include "common/utf.hpp"
#include "elevate/response/response_path_rules.hpp"

namespace tarnwick {
namespace {

using R = ResponsePathRefusal;

struct PathCase {
  std::u16string path;
  ResponsePathRefusal expected;
};

TEST(ResponsePathRefusal, ByTextBeforeAnythingIsOpened) {
  const PathCase cases[] = {
      // ordinary file paths, in every form an app may pass
      {u"C:\\Users\\ann\\AppData\\Local\\Tarnwick\\x7f3\\response.json", R::None},
      {u"C:/Users/ann/response.json", R::None},
      {u"response.json", R::None},
      {u"..\\out\\response.json", R::None},
      {u"\\\\?\\C:\\Users\\ann\\response.json", R::None},
      {u"C:\\Users\\ann\\r\u00e9ponse \u65e5\u672c.json", R::None},
      // names that only look like devices
      {u"C:\\x\\nullable.json", R::None},
      {u"C:\\x\\CONFIG", R::None},
      {u"C:\\x\\COM10", R::None},
      {u"C:\\x\\LPT", R::None},
      {u"C:\\NUL\\response.json", R::None},  // only the last component maps to a device
      {u"C:\\x\\my.nul", R::None},
      // the device and object namespaces
      {u"\\\\.\\NUL", R::DeviceNamespace},
      {u"\\\\.\\C:", R::DeviceNamespace},
      {u"\\\\.\\PhysicalDrive0", R::DeviceNamespace},
      {u"//./nul", R::DeviceNamespace},
      {u"\\\\?\\GLOBALROOT\\Device\\Null", R::DeviceNamespace},
      {u"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\r.json", R::DeviceNamespace},
      {u"\\\\?\\UNC\\server\\share\\r.json", R::DeviceNamespace},
      {u"\\\\?\\C:", R::DeviceNamespace},  // the volume itself
      {u"\\\\?\\C:/r.json", R::DeviceNamespace},
      {u"\\??\\C:\\r.json", R::DeviceNamespace},
      {u"/?\x3f/C:/r.json", R::DeviceNamespace},  // "/??/"
      {u"\\\\?", R::DeviceNamespace},
      // network paths
      {u"\\\\server\\share\\r.json", R::NetworkPath},
      {u"//server/share/r.json", R::NetworkPath},
      {u"\\/server\\share", R::NetworkPath},
      // alternate data streams
      {u"C:\\x\\r.json:hidden", R::AlternateStream},
      {u"C:\\x\\r.json::$DATA", R::AlternateStream},
      {u"r.json:x", R::AlternateStream},
      {u"\\\\?\\C:\\x\\r.json:s", R::AlternateStream},
      {u"C:C:\\x", R::AlternateStream},
      {u"1:\\x", R::AlternateStream},
      // DOS device names as the last component, any case, any extension
      {u"NUL", R::DeviceName},
      {u"C:\\x\\nul", R::DeviceName},
      {u"C:\\x\\Con.json", R::DeviceName},
      {u"C:\\x\\prn.tar.gz", R::DeviceName},
      {u"C:/x/aux.txt", R::DeviceName},
      {u"C:\\x\\COM1", R::DeviceName},
      {u"C:\\x\\com9.json", R::DeviceName},
      {u"C:\\x\\LPT1", R::DeviceName},
      {u"C:\\x\\lpt9.log", R::DeviceName},
      {u"C:\\x\\COM0", R::DeviceName},
      {u"C:\\x\\COM\u00B9", R::DeviceName},
      {u"C:\\x\\lpt\u00B3.txt", R::DeviceName},
      {u"C:\\x\\conout$", R::DeviceName},
      {u"C:\\x\\nul .json", R::DeviceName},  // blanks before the extension are trimmed
      {u"C:\\x\\NUL.", R::DeviceName},
      {u"C:NUL", R::DeviceName},
      {u"\\\\?\\C:\\x\\NUL", R::DeviceName},
      // a NUL character would cut the path short
      {std::u16string(u"C:\\x\\r.json\0.txt", 16), R::EmbeddedNul},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(response_path_refusal(c.path), c.expected) << utf16_to_utf8_lossy(c.path);
  }
}

struct FactsCase {
  const char* what;
  ResponseFileFacts facts;
  bool acceptable;
};

TEST(ResponseFileFacts, OnlyAPlainDiskFileWithOneNameIsWritten) {
  const FactsCase cases[] = {
      {"plain file", {true, false, false, 1}, true},
      {"second hard link", {true, false, false, 2}, false},
      {"no link count", {true, false, false, 0}, false},
      {"directory", {true, true, false, 1}, false},
      {"link at the last component", {true, false, true, 1}, false},
      {"directory link", {true, true, true, 1}, false},
      {"character device or pipe", {false, false, false, 1}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(response_file_acceptable(c.facts), c.acceptable) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick

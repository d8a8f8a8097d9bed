#include <gtest/gtest.h>

#include <string>

#include "common/utf.hpp"
#include "elevate/protocol/response_path_rules.hpp"

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
      {u"C:\\Users\\ann\\AppData\\Local\\Tarnwick\\x7f3\\response.json", R::none},
      {u"C:/Users/ann/response.json", R::none},
      {u"response.json", R::none},
      {u"..\\out\\response.json", R::none},
      {u"\\\\?\\C:\\Users\\ann\\response.json", R::none},
      {u"C:\\Users\\ann\\r\u00e9ponse \u65e5\u672c.json", R::none},
      // names that only look like devices
      {u"C:\\x\\nullable.json", R::none},
      {u"C:\\x\\CONFIG", R::none},
      {u"C:\\x\\COM10", R::none},
      {u"C:\\x\\LPT", R::none},
      {u"C:\\NUL\\response.json", R::none},  // only the last component maps to a device
      {u"C:\\x\\my.nul", R::none},
      // the device and object namespaces
      {u"\\\\.\\NUL", R::device_namespace},
      {u"\\\\.\\C:", R::device_namespace},
      {u"\\\\.\\PhysicalDrive0", R::device_namespace},
      {u"//./nul", R::device_namespace},
      {u"\\\\?\\GLOBALROOT\\Device\\Null", R::device_namespace},
      {u"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\r.json", R::device_namespace},
      {u"\\\\?\\UNC\\server\\share\\r.json", R::device_namespace},
      {u"\\\\?\\C:", R::device_namespace},  // the volume itself
      {u"\\\\?\\C:/r.json", R::device_namespace},
      {u"\\??\\C:\\r.json", R::device_namespace},
      {u"/?\x3f/C:/r.json", R::device_namespace},  // "/??/"
      {u"\\\\?", R::device_namespace},
      // network paths
      {u"\\\\server\\share\\r.json", R::network_path},
      {u"//server/share/r.json", R::network_path},
      {u"\\/server\\share", R::network_path},
      // alternate data streams
      {u"C:\\x\\r.json:hidden", R::alternate_stream},
      {u"C:\\x\\r.json::$DATA", R::alternate_stream},
      {u"r.json:x", R::alternate_stream},
      {u"\\\\?\\C:\\x\\r.json:s", R::alternate_stream},
      {u"C:C:\\x", R::alternate_stream},
      {u"1:\\x", R::alternate_stream},
      // DOS device names as the last component, any case, any extension
      {u"NUL", R::device_name},
      {u"C:\\x\\nul", R::device_name},
      {u"C:\\x\\Con.json", R::device_name},
      {u"C:\\x\\prn.tar.gz", R::device_name},
      {u"C:/x/aux.txt", R::device_name},
      {u"C:\\x\\COM1", R::device_name},
      {u"C:\\x\\com9.json", R::device_name},
      {u"C:\\x\\LPT1", R::device_name},
      {u"C:\\x\\lpt9.log", R::device_name},
      {u"C:\\x\\COM0", R::device_name},
      {u"C:\\x\\COM\u00B9", R::device_name},
      {u"C:\\x\\lpt\u00B3.txt", R::device_name},
      {u"C:\\x\\conout$", R::device_name},
      {u"C:\\x\\nul .json", R::device_name},  // blanks before the extension are trimmed
      {u"C:\\x\\NUL.", R::device_name},
      {u"C:NUL", R::device_name},
      {u"\\\\?\\C:\\x\\NUL", R::device_name},
      // a NUL character would cut the path short
      {std::u16string(u"C:\\x\\r.json\0.txt", 16), R::embedded_nul},
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

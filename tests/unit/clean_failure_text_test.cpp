// The Portuguese texts that explain a failed deletion.

#include <gtest/gtest.h>

#include <string>

#include "engine/clean/failure_text.hpp"

namespace tarnwick::clean {
namespace {

TEST(CleanFailureReason, IsChosenByTheRawWindowsCodeAlone) {
  constexpr const char* in_use = "estava em uso por outro programa";
  constexpr const char* protected_text = "está protegido pelo sistema";
  constexpr const char* gone = "já não estava mais lá";
  constexpr const char* not_now = "não pôde ser apagado agora";
  struct Case {
    std::uint32_t code;
    const char* reason;
  };
  const Case cases[] =
      {
          {32, in_use},    {33, in_use},   {5, protected_text}, {2, gone},
          {3, gone},       {53, not_now},  // ERROR_BAD_NETPATH also means "missing", but only 2 and 3 count
          {67, not_now},   {303, not_now}, {267, not_now},      {145, not_now},
          {1920, not_now}, {0, not_now},   {1, not_now},        {123, not_now},
      };
  for (const Case& c : cases) {
    EXPECT_EQ(failure_reason(OsError{c.code}), c.reason) << c.code;
  }
}

TEST(CleanDescribeFailure, NamesTheLastComponentOrTheWholePath) {
  struct Case {
    std::u16string path;
    std::uint32_t code;
    std::string text;
  };
  const Case cases[] = {
      {u"C:\\Windows\\Temp\\setup.log", 32, "setup.log — estava em uso por outro programa"},
      {u"C:/Windows\\SoftwareDistribution/Download", 2, "Download — já não estava mais lá"},
      {u"C:/Windows\\Temp", 5, "Temp — está protegido pelo sistema"},
      {u"\\\\?\\C:\\Windows\\Temp\\x", 123, "x — não pôde ser apagado agora"},
      {u"C:\\", 5, "C:\\ — está protegido pelo sistema"},
      {u"C:\\Windows\\Temp\\caf\u00e9", 33, "café — estava em uso por outro programa"},
      {u"C:\\Temp\\a" + std::u16string(1, char16_t(0xD800)) + u"b", 3, "a\uFFFDb — já não estava mais lá"},
      {u"\\\\server\\" + std::u16string(1, char16_t(0xDC00)), 5, "\\\\server\\\uFFFD — está protegido pelo sistema"},
  };
  for (const Case& c : cases) EXPECT_EQ(describe_failure(c.path, OsError{c.code}), c.text);
}

TEST(CleanDescribeFailure, UsesAnEmDashBetweenSpaces) {
  EXPECT_EQ(describe_failure(u"C:\\x\\a", OsError{5}).substr(1, 5), "\x20\xE2\x80\x94\x20");
}

}  // namespace
}  // namespace tarnwick::clean

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "startup/registry_value_text.hpp"

namespace tarnwick {
namespace {

using Data = std::vector<std::uint8_t>;

// Little-endian UTF-16 bytes of the units.
Data utf16le(std::u16string_view units) {
  Data data;
  for (const char16_t unit : units) {
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return data;
}

Data with_extra_byte(Data data, std::uint8_t byte) {
  data.push_back(byte);
  return data;
}

TEST(RegistryValueText, TextByTypeAndLength) {
  struct Case {
    const char* what;
    std::uint32_t type;
    Data data;
    std::string text;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      // Strings: trailing NULs go, inner NULs stay, odd last byte ignored.
      {"sz with two trailing NULs", kRegSz, utf16le(u"abc\0\0"s), "abc"},
      {"sz without NUL", kRegSz, utf16le(u"abc"), "abc"},
      {"sz with an inner NUL", kRegSz, utf16le(u"a\0b\0"s), "a\0b"s},
      {"sz odd last byte", kRegSz, with_extra_byte(utf16le(u"ab"), 0x41), "ab"},
      {"sz of one byte", kRegSz, Data{0x41}, ""},
      {"sz only NULs", kRegSz, utf16le(u"\0\0\0"s), ""},
      {"sz empty", kRegSz, Data{}, ""},
      {"sz beyond ASCII and a pair", kRegSz, utf16le(u"\u00e9\U0001F600"), "\xc3\xa9\xf0\x9f\x98\x80"},
      {"sz unpaired surrogates", kRegSz, utf16le(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}),
       "a\xef\xbf\xbd"
       "b\xef\xbf\xbd"},
      {"expand sz stays unexpanded", kRegExpandSz, utf16le(u"%SystemRoot%\\x.exe\0"s), "%SystemRoot%\\x.exe"},
      {"multi sz", kRegMultiSz, utf16le(u"a\0b\0\0"s), "a\nb"},
      {"multi sz leading NUL and a pair", kRegMultiSz, utf16le(u"\0\U0001F600\0x\0"s), "\n\xf0\x9f\x98\x80\nx"},
      {"multi sz empty", kRegMultiSz, Data{}, ""},
      // Numbers: exact lengths only.
      {"dword", kRegDword, Data{42, 0, 0, 0}, "42"},
      {"dword zero", kRegDword, Data{0, 0, 0, 0}, "0"},
      {"dword largest", kRegDword, Data{0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
      {"dword little-endian", kRegDword, Data{0x01, 0x02, 0x03, 0x04}, "67305985"},
      {"qword", kRegQword, Data{0, 0, 0, 0, 1, 0, 0, 0}, "4294967296"},
      {"qword largest", kRegQword, Data(8, 0xFF), "18446744073709551615"},
      // Wrong-length numbers are shown as bytes, not hidden.
      {"dword of 3 bytes", kRegDword, Data{1, 2, 3}, "[1, 2, 3]"},
      {"dword of 5 bytes", kRegDword, Data{1, 0, 0, 0, 9}, "[1, 0, 0, 0, 9]"},
      {"dword empty", kRegDword, Data{}, "[]"},
      {"qword of 4 bytes", kRegQword, Data{42, 0, 0, 0}, "[42, 0, 0, 0]"},
      {"qword of 9 bytes", kRegQword, Data(9, 1), "[1, 1, 1, 1, 1, 1, 1, 1, 1]"},
      // Everything else up to REG_QWORD as a byte list.
      {"none empty", kRegNone, Data{}, "[]"},
      {"none with data", kRegNone, Data{7}, "[7]"},
      {"binary", kRegBinary, Data{1, 0, 255}, "[1, 0, 255]"},
      {"binary pair", kRegBinary, Data{1, 2}, "[1, 2]"},
      {"big-endian dword", kRegDwordBigEndian, Data{0, 0, 0, 42}, "[0, 0, 0, 42]"},
      {"link", kRegLink, utf16le(u"\\R"), "[92, 0, 82, 0]"},
      {"resource list", kRegResourceList, Data{8}, "[8]"},
      {"full resource descriptor", kRegFullResourceDescriptor, Data{9, 10}, "[9, 10]"},
      {"resource requirements list", kRegResourceRequirementsList, Data{128}, "[128]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(registry_value_text(c.type, c.data), c.text) << c.what;
  }
}

TEST(RegistryValueText, TypesAboveQwordHaveNoText) {
  for (const std::uint32_t type : {12u, 13u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(registry_value_text(type, Data{1, 2}), std::nullopt) << type;
  }
}

}  // namespace
}  // namespace tarnwick

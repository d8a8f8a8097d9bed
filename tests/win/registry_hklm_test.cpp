// WinRegistryHklm on the test prefix's real registry. The tests own the
// machine-wide Run and StartupApproved\Run keys and clear them first.

#include <gtest/gtest.h>

#include <map>

#include "startup/registry_hklm_win.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/startup_keys.hpp"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

class RegistryHklm : public ::testing::Test {
 protected:
  void SetUp() override {
    TARNWICK_SKIP_UNLESS_MACHINE_STATE();
    reset_startup_keys();
  }
  // Also after: a value made through the native API (a name holding U+0000)
  // must not outlive its test, since `reg delete` cannot remove it.
  void TearDown() override {
    if (!IsSkipped()) reset_startup_keys();
  }

  // The listing by name (names are unique within a key).
  std::map<std::string, std::string> listed() {
    auto values = registry.run_values(StartupScope::HklmRun);
    EXPECT_TRUE(values.ok()) << (values.ok() ? 0 : values.error().code);
    std::map<std::string, std::string> by_name;
    if (values.ok()) {
      for (const auto& [name, command] : values.value()) by_name.emplace(name, command);
      EXPECT_EQ(by_name.size(), values.value().size());
    }
    return by_name;
  }

  // The code the listing failed with; 0 when it did not fail.
  std::uint32_t run_values_error() {
    auto values = registry.run_values(StartupScope::HklmRun);
    EXPECT_FALSE(values.ok());
    return values.ok() ? 0 : values.error().code;
  }

  WinRegistryHklm registry;
};

TEST_F(RegistryHklm, EveryValueTypeIsListedInItsTextForm) {
  struct Case {
    std::wstring name;
    std::string listed_name;
    DWORD type;
    std::string data;
    std::string text;
  };
  const Case cases[] = {
      {L"", "", REG_SZ, utf16_bytes(L"default.exe\0"sv), "default.exe"},
      {L"Sz", "Sz", REG_SZ, utf16_bytes(L"abc\0\0"sv), "abc"},
      {L"Caf\u00e9 \U0001F600", "Caf\xc3\xa9 \xf0\x9f\x98\x80", REG_SZ, utf16_bytes(L"C:\\Caf\u00e9\\x.exe"),
       "C:\\Caf\xc3\xa9\\x.exe"},
      {L"Expand", "Expand", REG_EXPAND_SZ, utf16_bytes(L"%SystemRoot%\\tool.exe\0"sv), "%SystemRoot%\\tool.exe"},
      {L"Multi", "Multi", REG_MULTI_SZ, utf16_bytes(L"a\0b\0\0"sv), "a\nb"},
      {L"Dword", "Dword", REG_DWORD, "\x2a\0\0\0"s, "42"},
      {L"Qword", "Qword", REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\xff"s, "18446744073709551615"},
      {L"ShortDword", "ShortDword", REG_DWORD, "\x01\x02"s, "[1, 2]"},
      {L"LongQword", "LongQword", REG_QWORD, "\x01\0\0\0\0\0\0\0\x09"s, "[1, 0, 0, 0, 0, 0, 0, 0, 9]"},
      {L"Binary", "Binary", REG_BINARY, "\x01\x02"s, "[1, 2]"},
      {L"None", "None", REG_NONE, "", "[]"},
      {L"BigEndian", "BigEndian", REG_DWORD_BIG_ENDIAN, "\0\0\0\x2a"s, "[0, 0, 0, 42]"},
      {L"Link", "Link", REG_LINK, "\x5c\0"s, "[92, 0]"},
      {L"Resources", "Resources", REG_RESOURCE_LIST, "\x08"s, "[8]"},
      {L"Descriptor", "Descriptor", REG_FULL_RESOURCE_DESCRIPTOR, "\x09"s, "[9]"},
      {L"Requirements", "Requirements", REG_RESOURCE_REQUIREMENTS_LIST, "\xff"s, "[255]"},
  };
  for (const auto& c : cases) put_value(kRunKeyPath, c.name, c.type, c.data);

  const auto by_name = listed();
  ASSERT_EQ(by_name.size(), std::size(cases));
  for (const auto& c : cases) {
    ASSERT_TRUE(by_name.contains(c.listed_name)) << c.listed_name;
    EXPECT_EQ(by_name.at(c.listed_name), c.text) << c.listed_name;
  }
}

TEST_F(RegistryHklm, LongDataAndLongNamesAreReadWhole) {
  // Data past the first data buffer (2048 bytes), which is grown and read
  // again; long names, up to the longest the registry allows (16,383 units),
  // which the one name buffer (16,385 units) holds from the first read; and
  // both at once.
  const std::wstring long_text(3000, L'x');
  const std::string long_binary(5000, '\x07');
  const std::wstring name_3000(3000, L'N');
  const std::wstring name_longest(16383, L'L');
  put_value(kRunKeyPath, L"LongData", REG_SZ, utf16_bytes(long_text));
  put_value(kRunKeyPath, L"LongBinary", REG_BINARY, long_binary);
  put_value(kRunKeyPath, name_3000, REG_SZ, utf16_bytes(L"n.exe"));
  put_value(kRunKeyPath, name_longest, REG_BINARY, long_binary);
  put_value(kRunKeyPath, L"Short", REG_SZ, utf16_bytes(L"s.exe"));

  std::string binary_text = "[7";
  for (int i = 1; i < 5000; ++i) binary_text += ", 7";
  binary_text += "]";

  const auto by_name = listed();
  ASSERT_EQ(by_name.size(), 5u);
  EXPECT_EQ(by_name.at("LongData"), std::string(3000, 'x'));
  EXPECT_EQ(by_name.at("LongBinary"), binary_text);
  EXPECT_EQ(by_name.at(std::string(3000, 'N')), "n.exe");
  EXPECT_EQ(by_name.at(std::string(16383, 'L')), binary_text);
  EXPECT_EQ(by_name.at("Short"), "s.exe");
}

TEST_F(RegistryHklm, EmptyRunKeyListsNothingAndAMissingOneIsAnOsError) {
  auto empty = registry.run_values(StartupScope::HklmRun);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().empty());

  delete_run_key();
  EXPECT_EQ(run_values_error(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryHklm, ValuesWithoutATextFormFailTheWholeListing) {
  struct Case {
    const char* what;
    std::wstring name;
    DWORD type;
    unsigned code;
  };
  const Case cases[] = {
      {"name with an unpaired surrogate", L"Bad" + std::wstring(1, wchar_t(0xD800)), REG_SZ, ERROR_INVALID_DATA},
      {"type above REG_QWORD", L"Odd", 12, ERROR_BAD_FILE_TYPE},
      {"type far above REG_QWORD", L"Odd", 0x7FFF0000, ERROR_BAD_FILE_TYPE},
  };
  for (const auto& c : cases) {
    reset_startup_keys();
    put_value(kRunKeyPath, L"Good", REG_SZ, utf16_bytes(L"g.exe"));
    put_value(kRunKeyPath, c.name, c.type, "\x01\0"s);
    EXPECT_EQ(run_values_error(), c.code) << c.what;
  }
}

TEST_F(RegistryHklm, ApprovedValuesAnswerTheBytesOfAnyTypeOrAbsent) {
  auto read = [&](const std::string& name) -> std::optional<Bytes> {
    auto answer = registry.approved_values(StartupScope::HklmRun);
    EXPECT_TRUE(answer.ok());  // never an error
    if (!answer.ok()) return std::nullopt;
    const Bytes* found = answer.value().find(name);
    return found == nullptr ? std::nullopt : std::optional<Bytes>(*found);
  };
  EXPECT_EQ(read("Tool"), std::nullopt) << "no StartupApproved key";

  const std::string long_state = "\x03"s + std::string(4000, '\0');
  put_value(kApprovedKeyPath, L"Tool", REG_BINARY, "\x03\0\0\0\0\0\0\0\0\0\0\0"s);
  put_value(kApprovedKeyPath, L"Dword", REG_DWORD, "\x07\0\0\0"s);
  put_value(kApprovedKeyPath, L"Empty", REG_BINARY, "");
  put_value(kApprovedKeyPath, L"Long", REG_BINARY, long_state);
  put_value(kApprovedKeyPath, L"Odd", 12, "\x03"s);
  put_value(kApprovedKeyPath, L"", REG_BINARY, "\x01"s);

  EXPECT_EQ(read("Tool"), (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(read("Dword"), (Bytes{7, 0, 0, 0}));
  EXPECT_EQ(read("Empty"), Bytes{});
  EXPECT_EQ(read("Long"), Bytes(long_state.begin(), long_state.end()));
  EXPECT_EQ(read(""), Bytes{1});
  EXPECT_EQ(read("Odd"), std::nullopt) << "type above REG_QWORD";
  EXPECT_EQ(read("Missing"), std::nullopt);
  // Found as the registry finds a name: case aside, beyond ASCII too.
  put_value(kApprovedKeyPath, L"Caf\u00e9 \u0434", REG_BINARY, "\x03"s);
  EXPECT_EQ(read("tOOL"), (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(read("CAF\xc3\x89 \xd0\x94"), Bytes{3});
}

TEST_F(RegistryHklm, SetApprovedValueCreatesTheKeyAndReplacesAnyValue) {
  const std::string disabled = "\x03\0\0\0\0\0\0\0\0\0\0\0"s;
  const Bytes disabled_bytes(disabled.begin(), disabled.end());

  ASSERT_FALSE(approved_key_exists());
  ASSERT_TRUE(registry.set_approved_value(StartupScope::HklmRun, "Tool", disabled_bytes).ok());
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, disabled}));

  put_value(kApprovedKeyPath, L"Other", REG_SZ, utf16_bytes(std::wstring(100, L'z')));
  ASSERT_TRUE(registry.set_approved_value(StartupScope::HklmRun, "Other", disabled_bytes).ok());
  EXPECT_EQ(approved_value_stored(L"Other"), (StoredValue{REG_BINARY, disabled}));

  ASSERT_TRUE(registry.set_approved_value(StartupScope::HklmRun, "", disabled_bytes).ok());
  EXPECT_EQ(approved_value_stored(L""), (StoredValue{REG_BINARY, disabled}));
}

TEST_F(RegistryHklm, NameHoldingNulNeverReachesTheValueNamedByItsPrefix) {
  // A Run value named "Tool\0hidden" (made through the native API) is listed
  // with its whole name; as a NUL-terminated string it would name "Tool".
  put_value(kRunKeyPath, L"Tool", REG_SZ, utf16_bytes(L"t.exe"));
  put_run_value_counted(L"Tool\0hidden"sv, REG_SZ, utf16_bytes(L"h.exe"));
  put_value(kApprovedKeyPath, L"Tool", REG_BINARY, "\x03"s);
  const std::string hidden = "Tool\0hidden"s;

  const auto by_name = listed();
  ASSERT_TRUE(by_name.contains(hidden));
  EXPECT_EQ(by_name.at(hidden), "h.exe");

  const auto states = registry.approved_values(StartupScope::HklmRun);
  ASSERT_TRUE(states.ok());
  EXPECT_EQ(states.value().find(hidden), nullptr);

  const auto written = registry.set_approved_value(StartupScope::HklmRun, hidden, Bytes{2});
  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.error(), OsError{ERROR_INVALID_PARAMETER});
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x03"s}));
}

}  // namespace
}  // namespace tarnwick::test

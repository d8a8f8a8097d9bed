// The machine-state tests' snapshot of a registry key, on a scratch key of
// the current user (never the machine's): a key deleted and made again is
// put back with its values and its security, a key that was not there is
// removed again, and a key with subkeys is refused.

#include "win/support/saved_key.hpp"

#include <gtest/gtest.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::test {
namespace {

// A DACL that inherits nothing: SYSTEM and the user running the test may
// change the key, everyone may read it. Not what a key under HKCU\Software
// inherits, and the user keeps the right to remove it, elevated or not.
std::wstring distinct_security() {
  win::UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  std::vector<std::uint64_t> user(64);  // TOKEN_USER and its SID, 8-byte aligned
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, user.data(), static_cast<DWORD>(user.size() * 8), &size))
    return {};
  wchar_t* sid = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) return {};
  std::wstring sddl = L"D:P(A;;KA;;;SY)(A;;KA;;;" + std::wstring(sid) + L")(A;;KR;;;WD)";
  ::LocalFree(sid);
  return sddl;
}

class SavedKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()); }

  win::UniqueKey create() {
    win::UniqueKey key;
    EXPECT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    return key;
  }
  // The key with all it holds.
  void remove() { ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()), ERROR_SUCCESS); }
  static void put(HKEY key, const wchar_t* name, DWORD type, std::string_view data) {
    ASSERT_EQ(::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  // Sets the key's DACL; its owner stays the user who made it.
  static void secure(HKEY key, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    const LSTATUS status = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
    ASSERT_EQ(status, ERROR_SUCCESS);
  }
  std::wstring security() const { return key_security_text(HKEY_CURRENT_USER, path_.c_str()); }
  // Every value of the key as "name=type:data" lines, in enumeration order.
  std::string values() const {
    win::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "missing";
    std::string listed;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      BYTE data[256];
      DWORD name_length = 256, data_size = 256, type = 0;
      if (::RegEnumValueW(key.get(), index, name, &name_length, nullptr, &type, data, &data_size) != ERROR_SUCCESS)
        break;
      for (DWORD i = 0; i < name_length; ++i) listed.push_back(static_cast<char>(name[i]));
      listed.append("=").append(std::to_string(type)).append(":");
      listed.append(reinterpret_cast<const char*>(data), data_size).append("\n");
    }
    return listed;
  }

  const std::wstring path_ = L"Software\\tarnwick-test-saved-key-" + std::to_wstring(::GetCurrentProcessId());
};

TEST_F(SavedKeyTest, AKeyMadeAgainGetsBackItsValuesAndItsSecurity) {
  {
    const win::UniqueKey key = create();
    put(key.get(), L"Tool", REG_SZ, std::string("C\0:\0\0\0", 6));
    put(key.get(), L"Empty", REG_BINARY, "");
    secure(key.get(), distinct_security());
  }
  const std::wstring security_before = security();
  const std::string values_before = values();
  ASSERT_NE(security_before.find(L"(A;;KR;;;WD)"), std::wstring::npos) << "the fixture's security did not take";
  const SavedKey saved = save_key(HKEY_CURRENT_USER, path_.c_str());
  ASSERT_TRUE(saved.present);
  EXPECT_EQ(security_text(saved.security), security_before);

  // What a test does to the key: deleted, made again, other values in it.
  remove();
  {
    const win::UniqueKey key = create();
    put(key.get(), L"Other", REG_DWORD, std::string(4, '\1'));
  }
  ASSERT_NE(security(), security_before) << "a key made again keeps its old security here; the test shows nothing";

  ASSERT_TRUE(restore_key(HKEY_CURRENT_USER, path_.c_str(), saved));
  EXPECT_EQ(security(), security_before);
  EXPECT_EQ(values(), values_before);
}

TEST_F(SavedKeyTest, AKeyThatWasNotThereIsRemovedAgain) {
  const SavedKey saved = save_key(HKEY_CURRENT_USER, path_.c_str());
  EXPECT_FALSE(saved.present);
  {
    const win::UniqueKey key = create();
    put(key.get(), L"Tool", REG_SZ, "x");
  }
  ASSERT_TRUE(restore_key(HKEY_CURRENT_USER, path_.c_str(), saved));
  EXPECT_EQ(values(), "missing");
}

TEST_F(SavedKeyTest, AKeyWithSubkeysIsRefused) {
  const win::UniqueKey key = create();
  win::UniqueKey child;
  ASSERT_EQ(::RegCreateKeyExW(key.get(), L"child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr),
            ERROR_SUCCESS);
  EXPECT_THROW(save_key(HKEY_CURRENT_USER, path_.c_str()), std::runtime_error);
}

}  // namespace
}  // namespace tarnwick::test

#pragma once

// A registry key saved whole, so that tests may delete it and build it again
// and still leave it as they found it: its values exactly (name, type, data)
// and its security (owner, group, DACL). A key created again gets the
// security its parent hands down, not the one it had, so putting back the
// values alone would change who may write it.

#include <windows.h>

#include <string>
#include <vector>

namespace tarnwick::test {

struct SavedValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct SavedKey {
  bool present = false;  // false: the key was not there
  std::vector<SavedValue> values;
  std::vector<BYTE> security;  // self-relative: owner, group, DACL
};

// Reads root\path whole; throws when it cannot be read, or when it has
// subkeys, which putting the values back would not restore.
SavedKey save_key(HKEY root, const wchar_t* path);
// Makes root\path hold exactly the saved values and security (or not exist).
bool restore_key(HKEY root, const wchar_t* path, const SavedKey& saved);
// The owner, group and DACL of root\path in SDDL; empty when it is missing.
std::wstring key_security_text(HKEY root, const wchar_t* path);
// The same for saved security bytes.
std::wstring security_text(const std::vector<BYTE>& security);

}  // namespace tarnwick::test

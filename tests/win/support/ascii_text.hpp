#pragma once

// Wide text for the Windows tests' messages: ASCII as it is, every other
// unit as '?'.

#include <string>

namespace tarnwick::test {

inline std::string narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace tarnwick::test

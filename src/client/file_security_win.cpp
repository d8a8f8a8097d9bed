#include "client/file_security_win.hpp"

#include <aclapi.h>
#include <sddl.h>

#include "common/utf.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

std::string sid_text(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return {};
  std::string out = utf16_to_utf8_lossy(win::as_utf16(text));
  ::LocalFree(text);
  return out;
}

}  // namespace

Result<PathComponent, DWORD> read_file_security(HANDLE handle, std::string path, PathComponent::Role role) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = ::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return Err{status};
  PathComponent component;
  component.role = role;
  component.path = std::move(path);
  component.owner_sid = sid_text(owner);
  if (dacl != nullptr) {
    component.dacl.emplace();
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      void* raw = nullptr;
      if (!::GetAce(dacl, i, &raw)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(raw);
      AccessEntry entry;
      // A conditional allow may apply: count it. A conditional deny may not:
      // leave it out. Both have the layout of the plain entries.
      if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
        entry.kind = AccessEntry::Kind::Allow;
      } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
        entry.kind = AccessEntry::Kind::Deny;
      } else {
        continue;
      }
      const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
      entry.mask = ace->Mask;
      entry.sid = sid_text(const_cast<DWORD*>(&ace->SidStart));
      entry.inherit_only = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
      component.dacl->push_back(std::move(entry));
    }
  }
  ::LocalFree(descriptor);
  return component;
}

std::string account_name(const std::string& sid) {
  const auto wide = win::to_wide(sid);
  PSID binary = nullptr;
  if (!wide || !::ConvertStringSidToSidW(wide->c_str(), &binary)) return sid;
  wchar_t name[256];
  wchar_t domain[256];
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  const bool found = ::LookupAccountSidW(nullptr, binary, name, &name_size, domain, &domain_size, &use) != FALSE;
  ::LocalFree(binary);
  if (!found) return sid;
  const auto utf8 = [](const wchar_t* text) { return utf16_to_utf8_lossy(win::as_utf16(text)); };
  return domain_size > 0 ? utf8(domain) + "\\" + utf8(name) : utf8(name);
}

}  // namespace tarnwick::client

#include "client/run_folder_win.hpp"

#include <bcrypt.h>
#include <sddl.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

#include "client/helper_runner_win.hpp"
#include "client/run_base.hpp"
#include "client/run_base_win.hpp"
#include "client/token_win.hpp"
#include "common/hex.hpp"
#include "common/utf.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/system_text_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

Err<ClientError> launch_failed(const std::string& what, DWORD code) {
  return Err<ClientError>{
      ClientError{ErrorKind::LaunchFailed, what + ": " + win::os_error_text(code), std::nullopt, code, 0}};
}

std::string hex_text(std::uint32_t value) {
  std::string out = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(hex_digit(value >> shift)))));
  }
  return out;
}

Outcome<std::wstring> local_app_data() {
  PWSTR raw = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &raw);
  std::wstring path = SUCCEEDED(result) && raw != nullptr ? std::wstring(raw) : std::wstring();
  ::CoTaskMemFree(raw);  // also on failure, as the function asks
  if (path.empty()) {
    return client_error(ErrorKind::LaunchFailed, "the user's local application data folder is unknown (HRESULT " +
                                                     hex_text(static_cast<std::uint32_t>(result)) + ")");
  }
  return path;
}

using GenRandom = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);

struct ModuleTraits {
  using Handle = HMODULE;
  static HMODULE invalid() noexcept { return nullptr; }
  static void close(HMODULE module) noexcept { ::FreeLibrary(module); }
};

// 128 bits from the system's generator, as 32 hexadecimal digits. bcrypt.dll
// is not one of the DLLs Windows always takes from System32 (KnownDLLs):
// it is loaded from there by name at run time rather than imported, so that
// no copy of it beside the program is ever loaded.
Outcome<std::wstring> random_name() {
  const win::UniqueHandle<ModuleTraits> bcrypt(::LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!bcrypt) return launch_failed("cannot load bcrypt.dll from the system folder", ::GetLastError());
  // Through void(*)(): the one function pointer type any other converts to.
  const auto gen_random =
      reinterpret_cast<GenRandom>(reinterpret_cast<void (*)()>(::GetProcAddress(bcrypt.get(), "BCryptGenRandom")));
  if (gen_random == nullptr) return launch_failed("bcrypt.dll has no BCryptGenRandom", ::GetLastError());
  std::array<unsigned char, 16> bytes{};
  const NTSTATUS status =
      gen_random(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) {
    return client_error(ErrorKind::LaunchFailed, "no random name for the response folder (BCryptGenRandom: NTSTATUS " +
                                                     hex_text(static_cast<std::uint32_t>(status)) + ")");
  }
  const std::string digits = hex_of(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return std::wstring(kRunFolderPrefix) + std::wstring(digits.begin(), digits.end());
}

class LocalDescriptor {
 public:
  explicit LocalDescriptor(PSECURITY_DESCRIPTOR descriptor) : descriptor_(descriptor) {}
  LocalDescriptor(const LocalDescriptor&) = delete;
  LocalDescriptor& operator=(const LocalDescriptor&) = delete;
  ~LocalDescriptor() { ::LocalFree(descriptor_); }
  PSECURITY_DESCRIPTOR get() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_;
};

// Where the run folder goes and its security: a protected list (nothing
// inherited from the folder above) granting full control to the one
// identity that will use it, and to what is created inside (run_base.hpp).
Outcome<RunFolderPlan> run_folder_plan() {
  if (process_is_administrator()) return plan_run_folder(true, "");
  const auto user = process_user_sid();
  if (!user) return launch_failed("cannot read this user's identity", ::GetLastError());
  return plan_run_folder(false, utf16_to_utf8_lossy(win::as_utf16(*user)));
}

// The folder the run folder is made in, open to add a folder to it.
Outcome<OpenFolder> open_base(RunBase base, bool allow_changeable_base) {
  if (base == RunBase::WindowsDirectory) return open_administrators_run_base(allow_changeable_base);
  auto path = local_app_data();
  if (!path) return Err{std::move(path).error()};
  win::UniqueFile handle(::CreateFileW(path.value().c_str(),
                                       FILE_TRAVERSE | FILE_ADD_SUBDIRECTORY | FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return launch_failed("cannot open the local application data folder", ::GetLastError());
  return OpenFolder{std::move(handle), std::move(path).value()};
}

// Opens or creates `name` inside the folder `parent` through the native call
// that takes a folder handle as the start of the name: nothing on the way
// can be swapped, and a link at the name is opened as the link itself, never
// followed.
Result<win::UniqueFile, DWORD> open_inside(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                                           ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security) {
  UNICODE_STRING native_name{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.c_str())};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &native_name, OBJ_CASE_INSENSITIVE, parent, security);
  IO_STATUS_BLOCK io{};
  HANDLE created = nullptr;
  const NTSTATUS status =
      ::NtCreateFile(&created, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                     disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (!NT_SUCCESS(status)) return Err{static_cast<DWORD>(::RtlNtStatusToDosError(status))};
  return win::UniqueFile(created);
}

// Creates `name` inside `parent`: the handle returned is the very object
// created (FILE_CREATE fails on anything already there, a link included).
Result<win::UniqueFile, DWORD> create_inside(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                                             ULONG options, PSECURITY_DESCRIPTOR security) {
  return open_inside(parent, name, access, share, FILE_CREATE, options, security);
}

// The path the folder's handle names now, links resolved; in its plain
// "C:\..." form when it is short enough to need no "\\?\".
Result<std::wstring, DWORD> final_path(HANDLE handle) {
  auto text = win::read_system_text([&](wchar_t* buffer, DWORD units) -> DWORD {
    return ::GetFinalPathNameByHandleW(handle, buffer, units, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
  if (!text) return Err{text.error().code};
  std::wstring path(win::as_wide(text.value()));
  if (path.starts_with(L"\\\\?\\") && path.size() >= 7 && path[5] == L':' && path.size() < MAX_PATH - 20) {
    path.erase(0, 4);
  }
  return path;
}

bool delete_through(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// "tarnwick-run-" and 32 lowercase hexadecimal digits: the names this
// client gives, and the only ones a sweep touches.
bool is_run_folder_name(std::wstring_view name) {
  const std::wstring_view prefix(kRunFolderPrefix);
  if (name.size() != prefix.size() + 32 || !name.starts_with(prefix)) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); });
}

struct Entry {
  std::wstring name;
  DWORD attributes = 0;
};

// The entries of the folder open at `folder` (FILE_LIST_DIRECTORY), read
// through its handle; at most `limit` of them, "." and ".." left out.
std::vector<Entry> entries_of(HANDLE folder, std::size_t limit) {
  std::vector<Entry> entries;
  alignas(FILE_ID_BOTH_DIR_INFO) unsigned char buffer[16 * 1024];
  FILE_INFO_BY_HANDLE_CLASS which = FileIdBothDirectoryRestartInfo;
  while (entries.size() < limit && ::GetFileInformationByHandleEx(folder, which, buffer, sizeof buffer)) {
    which = FileIdBothDirectoryInfo;
    std::size_t offset = 0;
    for (;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
      const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L".." && entries.size() < limit) entries.push_back({name, info->FileAttributes});
      if (info->NextEntryOffset == 0) break;
      offset += info->NextEntryOffset;
    }
  }
  return entries;
}

// Removes the earlier run's folder `name` inside `base` when nothing holds
// it: it is opened for delete without sharing, which fails while any run
// (its client's RunFolder, or a waiter holding it for a helper still
// running) has it open. A link at the name, anything but a folder, and a
// folder holding anything but response.json are left alone.
void remove_if_unheld(HANDLE base, const std::wstring& name) {
  auto folder = open_inside(base, name, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, 0, FILE_OPEN,
                            FILE_DIRECTORY_FILE, nullptr);
  if (!folder) return;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(folder.value().get(), FileAttributeTagInfo, &tag, sizeof tag) ||
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return;
  }
  const auto inside = entries_of(folder.value().get(), 2);
  if (inside.size() > 1 || (inside.size() == 1 && inside[0].name != L"response.json")) return;
  if (!inside.empty()) {
    auto response = open_inside(folder.value().get(), L"response.json", DELETE | FILE_READ_ATTRIBUTES, 0, FILE_OPEN,
                                FILE_NON_DIRECTORY_FILE, nullptr);
    if (!response || !delete_through(response.value().get())) return;  // held, or not ours to remove
  }
  delete_through(folder.value().get());
}

// Every earlier run's folder in `base` whose run has ended (see
// remove_if_unheld), among the base's first 4096 entries.
void sweep_ended_runs(HANDLE base) {
  for (const Entry& entry : entries_of(base, 4096)) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && is_run_folder_name(entry.name)) {
      remove_if_unheld(base, entry.name);
    }
  }
}

}  // namespace

Outcome<RunFolder> RunFolder::create(bool allow_changeable_base) {
  auto plan = run_folder_plan();
  if (!plan) return Err{std::move(plan).error()};
  auto name = random_name();
  if (!name) return Err{std::move(name).error()};
  PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
  const std::wstring sddl(plan.value().sddl.begin(), plan.value().sddl.end());  // ASCII
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &raw_descriptor,
                                                              nullptr)) {
    return launch_failed("cannot make the response folder's access list", ::GetLastError());
  }
  const LocalDescriptor descriptor(raw_descriptor);

  const auto base = open_base(plan.value().base, allow_changeable_base);
  if (!base) return Err{base.error()};
  const HANDLE above = base.value().handle.get();
  sweep_ended_runs(above);
  // Not sharing delete: while it is open nobody renames or removes it, nor
  // renames a folder above it.
  auto folder = create_inside(above, name.value(), DELETE | FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_DIRECTORY_FILE, descriptor.get());
  if (!folder) return launch_failed("cannot create the response folder", folder.error());
  auto response = create_inside(folder.value().get(), L"response.json", GENERIC_READ | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_NON_DIRECTORY_FILE, nullptr);
  if (!response) {
    delete_through(folder.value().get());
    return launch_failed("cannot create the response file", response.error());
  }
  auto path = final_path(folder.value().get());
  if (!path) {
    delete_through(response.value().get());
    response.value().reset();
    delete_through(folder.value().get());
    return launch_failed("cannot read the response folder's path", path.error());
  }
  return RunFolder(std::move(folder).value(), path.value() + L"\\response.json", std::move(response).value());
}

RunFolder::~RunFolder() {
  // The file goes when its handle closes, then the folder, empty by then.
  if (response_) delete_through(response_.get());
  response_.reset();
  if (folder_) delete_through(folder_.get());
}

}  // namespace tarnwick::client

// bench-floor.exe: the least a program must ask of the system for each of
// the helper's two heavy requests, with none of the helper's checks, so the
// benchmark can print how far below its goals the system itself lies.
//
//   bench-floor.exe registry   enumerates every value of the machine-wide Run
//                              key and of StartupApproved\Run (one
//                              NtEnumerateValueKey per value), nothing else;
//   bench-floor.exe delete DIR deletes everything inside DIR (DIR stays): per
//                              file one open that carries the deletion and
//                              one close, per folder a listing and a
//                              disposition; no query, no check, no count.
// Exit status 0 when it did its work, 1 otherwise.

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/nt_api_win.hpp"

namespace {

HANDLE open_relative(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG options) {
  UNICODE_STRING object_name = tarnwick::win::nt::counted(name.c_str(), name.size());
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      ::NtOpenFile(&handle, access, &attributes, &io, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT);
  return NT_SUCCESS(status) ? handle : nullptr;
}

long enumerate_values(const wchar_t* path) {
  UNICODE_STRING name;
  ::RtlInitUnicodeString(&name, path);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(::NtOpenKey(&key, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &attributes))) return 0;
  std::vector<std::uint64_t> buffer(8192);
  long values = 0;
  ULONG written = 0;
  while (::NtEnumerateValueKey(key, static_cast<ULONG>(values), tarnwick::win::nt::kKeyValueFullInformation,
                               buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t)),
                               &written) == 0) {
    ++values;
  }
  ::NtClose(key);
  return values;
}

// The names in a folder, each with whether it is a folder (not a link).
std::vector<std::pair<std::wstring, bool>> list(HANDLE folder) {
  std::vector<std::pair<std::wstring, bool>> names;
  std::vector<std::uint64_t> storage(8192);
  FILE_INFO_BY_HANDLE_CLASS info_class = FileIdBothDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(folder, info_class, storage.data(),
                                        static_cast<DWORD>(storage.size() * sizeof(std::uint64_t)))) {
    info_class = FileIdBothDirectoryInfo;
    const auto* bytes = reinterpret_cast<const std::byte*>(storage.data());
    for (std::size_t offset = 0;;) {
      FILE_ID_BOTH_DIR_INFO record;
      std::memcpy(&record, bytes + offset, offsetof(FILE_ID_BOTH_DIR_INFO, FileName));
      std::wstring name(record.FileNameLength / sizeof(wchar_t), L'\0');
      std::memcpy(name.data(), bytes + offset + offsetof(FILE_ID_BOTH_DIR_INFO, FileName), record.FileNameLength);
      const DWORD folder_bits = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
      if (name != L"." && name != L"..")
        names.emplace_back(name, (record.FileAttributes & folder_bits) == FILE_ATTRIBUTE_DIRECTORY);
      if (record.NextEntryOffset == 0) break;
      offset += record.NextEntryOffset;
    }
  }
  return names;
}

// Empties `top` with a stack of open folders (no recursion); a folder is
// marked for deletion once emptied, and goes when its handle closes.
bool delete_inside(HANDLE top) {
  struct Open {
    HANDLE handle;
    std::vector<std::pair<std::wstring, bool>> names;
  };
  std::vector<Open> stack;
  stack.push_back({top, list(top)});
  bool all = true;
  while (!stack.empty()) {
    Open& current = stack.back();
    if (current.names.empty()) {
      if (stack.size() > 1) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        all =
            ::SetFileInformationByHandle(current.handle, FileDispositionInfo, &disposition, sizeof disposition) && all;
        ::NtClose(current.handle);
      }
      stack.pop_back();
      continue;
    }
    auto [name, is_folder] = std::move(current.names.back());
    current.names.pop_back();
    if (is_folder) {
      const HANDLE folder =
          open_relative(current.handle, name, DELETE | FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_DIRECTORY_FILE);
      if (folder == nullptr) {
        all = false;
        continue;
      }
      stack.push_back({folder, list(folder)});
      continue;
    }
    const HANDLE file =
        open_relative(current.handle, name, DELETE | SYNCHRONIZE, FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE);
    if (file == nullptr)
      all = false;
    else
      ::NtClose(file);
  }
  return all;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"registry") == 0) {
    const long values =
        enumerate_values(L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run") +
        enumerate_values(
            L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run");
    return values > 0 ? 0 : 1;
  }
  if (argc == 3 && std::wcscmp(argv[1], L"delete") == 0) {
    const HANDLE top = ::CreateFileW(argv[2], FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (top == INVALID_HANDLE_VALUE) return 1;
    const bool all = delete_inside(top);
    ::CloseHandle(top);
    return all ? 0 : 1;
  }
  return 1;
}

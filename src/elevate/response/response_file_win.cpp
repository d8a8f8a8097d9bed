#include "elevate/response/response_file_win.hpp"

#include <windows.h>

#include <algorithm>

#include "elevate/response/response_path_rules.hpp"
#include "platform/win/caller_identity_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick {
namespace {

struct OpenedResponse {
  win::UniqueFile file;
  bool created = false;
};

// Opens or creates the file; the caller of write_response_file acts as the
// helper's caller meanwhile, so the file system grants what it grants the
// caller. A named pipe reached through the path (a drive letter of the
// caller's own) may identify the caller but not act as it.
OpenedResponse open_response(const std::wstring& path) {
  OpenedResponse opened;
  // OPEN_ALWAYS keeps an existing file (and its identity); it is emptied only
  // once it has been checked.
  opened.file.reset(::CreateFileW(
      path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  opened.created = opened.file && ::GetLastError() != ERROR_ALREADY_EXISTS;
  return opened;
}

ResponseFileFacts facts_of(HANDLE file) {
  ResponseFileFacts facts;
  facts.disk_file = ::GetFileType(file) == FILE_TYPE_DISK;
  // Two queries of the file alone: GetFileInformationByHandle would also ask
  // the volume for its serial number, which the checks do not need (and which
  // costs Wine a look at the whole drive).
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard)) {
    return facts;  // link count 0: refused
  }
  facts.directory = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || standard.Directory;
  facts.reparse_point = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.link_count = standard.NumberOfLinks;
  return facts;
}

// Removes what the open itself created, through its handle; the reopen for
// deletion is an access check of its own, made as the caller too.
void remove_created(HANDLE file) {
  const win::UniqueFile for_delete(
      ::ReOpenFile(file, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_FLAG_OPEN_REPARSE_POINT));
  if (!for_delete) return;
  FILE_DISPOSITION_INFO disposition{TRUE};
  ::SetFileInformationByHandle(for_delete.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

bool write_all(HANDLE file, std::string_view bytes) {
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

}  // namespace

bool WinResponseWriter::write_response_file(std::string_view path, std::string_view bytes) {
  const auto wide_path = win::to_wide(path);
  if (!wide_path) return false;
  if (response_path_refusal(win::as_utf16(*wide_path)) != ResponsePathRefusal::None) return false;

  // Every step from here on acts as the verified caller: the open, the
  // removal of a file it created but the checks refuse, the truncation and
  // the write. No verified caller, no file: the helper never opens the path
  // as anyone else.
  const win::ActingAsCaller as_caller;
  if (!as_caller.active()) return false;
  const OpenedResponse opened = open_response(*wide_path);
  if (!opened.file) return false;
  if (!response_file_acceptable(facts_of(opened.file.get()))) {
    if (opened.created) remove_created(opened.file.get());
    return false;
  }
  if (!::SetEndOfFile(opened.file.get())) return false;
  return write_all(opened.file.get(), bytes);
}

}  // namespace tarnwick

#pragma once

// What the deletion learns of a target's volume while it works there, and
// the rules it learns them by: which answers mean "this file system does not
// take that call", and the order in which the dispositions are tried. The
// Win32 layer (open_entry_win.cpp) makes the calls; the rules are here, so
// that the host tests can drive them with any answer a system may give.

#include <cstdint>

#include "common/os_error.hpp"
#include "common/result.hpp"

namespace tarnwick::clean {

// Per target, so that a call the file system refuses is tried once per
// target, not once per file. Everything below a target is on its volume: a
// mount point is a link, never entered.
struct VolumeFacts {
  // FileDispositionInfoEx with POSIX semantics was refused (Wine, FAT,
  // Windows before 10 1607): from then on the classic disposition, or an
  // open that carries the deletion, is used at once.
  bool posix_delete_refused = false;
  // POSIX semantics are taken but the flag that ignores the read-only
  // attribute is not (Windows 10 1607 to 1803 know the class, only 1809
  // and later the flag): from then on the POSIX disposition without it, so
  // a read-only file there is refused access rather than deleted.
  bool ignore_readonly_refused = false;
  // FileStatInformation was refused (Wine 8, Windows before 10 1709, file
  // systems and filters that do not take it): from then on
  // FileAttributeTagInfo and FileStandardInfo.
  bool stat_query_refused = false;
};

namespace nt_status {
inline constexpr std::uint32_t kNotImplemented = 0xC0000002;        // STATUS_NOT_IMPLEMENTED
inline constexpr std::uint32_t kInvalidInfoClass = 0xC0000003;      // STATUS_INVALID_INFO_CLASS
inline constexpr std::uint32_t kInvalidParameter = 0xC000000D;      // STATUS_INVALID_PARAMETER
inline constexpr std::uint32_t kInvalidDeviceRequest = 0xC0000010;  // STATUS_INVALID_DEVICE_REQUEST
inline constexpr std::uint32_t kNotSupported = 0xC00000BB;          // STATUS_NOT_SUPPORTED
}  // namespace nt_status

// How a system, a file system or a filter says it does not take an
// information class in a query (NtQueryInformationFile's status): the query
// is then made the older way, never failed.
constexpr bool info_class_refused(std::uint32_t status) {
  return status == nt_status::kNotImplemented || status == nt_status::kInvalidInfoClass ||
         status == nt_status::kInvalidParameter || status == nt_status::kInvalidDeviceRequest ||
         status == nt_status::kNotSupported;
}

// The same refusals as Win32 codes, as SetFileInformationByHandle gives them
// for a disposition (ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED,
// ERROR_INVALID_PARAMETER).
constexpr bool disposition_refused(std::uint32_t error) { return error == 1 || error == 50 || error == 87; }

// FileDispositionInfoEx's flags (FILE_DISPOSITION_INFO_EX).
inline constexpr std::uint32_t kDispositionDelete = 0x1;
inline constexpr std::uint32_t kDispositionPosixSemantics = 0x2;
inline constexpr std::uint32_t kDispositionIgnoreReadonly = 0x10;

// The two calls that mark an open entry for deletion, as the Win32 layer
// makes them on one handle; each gives the system's error code, 0 when done.
class DispositionCalls {
 public:
  virtual ~DispositionCalls() = default;
  // FileDispositionInfoEx with these flags.
  virtual std::uint32_t set_disposition_ex(std::uint32_t flags) = 0;
  // FileDispositionInfo with DeleteFile set (the name goes at the last close).
  virtual std::uint32_t set_classic_disposition() = 0;
};

// Marks the entry for deletion: POSIX semantics with the read-only
// attribute ignored (the name goes at once, a read-only file too); where
// the volume refuses that, once more without ignoring the read-only
// attribute (a system that knows POSIX semantics but not that flag); where
// that is refused too, the classic disposition. Each refusal is learnt for
// the rest of the target.
Result<Done, OsError> mark_with_disposition(VolumeFacts& volume, DispositionCalls& calls);

}  // namespace tarnwick::clean

#include "engine/clean/volume_answers.hpp"

namespace tarnwick::clean {

Result<Done, OsError> mark_with_disposition(VolumeFacts& volume, DispositionCalls& calls) {
  constexpr std::uint32_t kPosix = kDispositionDelete | kDispositionPosixSemantics;
  if (!volume.posix_delete_refused && !volume.ignore_readonly_refused) {
    const std::uint32_t error = calls.set_disposition_ex(kPosix | kDispositionIgnoreReadonly);
    if (error == 0) return Done{};
    if (!disposition_refused(error)) return Err{OsError{error}};
    // Refused: the flag alone may be what this system does not know.
    const std::uint32_t without_flag = calls.set_disposition_ex(kPosix);
    if (without_flag == 0 || !disposition_refused(without_flag)) {
      volume.ignore_readonly_refused = true;
      if (without_flag == 0) return Done{};
      return Err{OsError{without_flag}};
    }
    volume.posix_delete_refused = true;
  } else if (!volume.posix_delete_refused) {
    const std::uint32_t error = calls.set_disposition_ex(kPosix);
    if (error == 0) return Done{};
    if (!disposition_refused(error)) return Err{OsError{error}};
    volume.posix_delete_refused = true;
  }
  const std::uint32_t error = calls.set_classic_disposition();
  if (error == 0) return Done{};
  return Err{OsError{error}};
}

}  // namespace tarnwick::clean

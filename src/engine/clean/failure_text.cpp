#include "engine/clean/failure_text.hpp"

#include "common/utf.hpp"
#include "engine/clean/windows_error.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

// UTF-8 bytes spelled out, so that the texts do not depend on the source
// character set the compiler assumes.
constexpr std::string_view kInUse = "estava em uso por outro programa";
constexpr std::string_view kProtectedBySystem = "est\xC3\xA1 protegido pelo sistema";    // está
constexpr std::string_view kAlreadyGone = "j\xC3\xA1 n\xC3\xA3o estava mais l\xC3\xA1";  // já não ... lá
constexpr std::string_view kNotDeletableNow =
    "n\xC3\xA3o p\xC3\xB4"
    "de ser apagado agora";                                // não pôde
constexpr std::string_view kSeparator = " \xE2\x80\x94 ";  // U+2014

}  // namespace

std::string_view failure_reason(const OsError& error) {
  switch (error.code) {
    case windows_error::kSharingViolation:
    case windows_error::kLockViolation:
      return kInUse;
    case windows_error::kAccessDenied:
      return kProtectedBySystem;
    case windows_error::kFileNotFound:
    case windows_error::kPathNotFound:
      return kAlreadyGone;
    default:
      return kNotDeletableNow;
  }
}

std::string failure_text(std::string_view name, const OsError& error) {
  std::string text(name);
  text += kSeparator;
  text += failure_reason(error);
  return text;
}

std::string describe_failure(std::u16string_view path, const OsError& error) {
  return failure_text(utf16_to_utf8_lossy(last_ordinary_component(path).value_or(path)), error);
}

}  // namespace tarnwick::clean

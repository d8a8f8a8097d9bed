#include "engine/clean/failure_text.hpp"

#include "common/utf.hpp"
#include "engine/clean/windows_error.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

// UTF-8 bytes spelled out, so that the texts do not depend on the source
// character set the compiler assumes.
constexpr std::string_view in_use = "estava em uso por outro programa";
constexpr std::string_view protected_by_system = "est\xC3\xA1 protegido pelo sistema";            // está
constexpr std::string_view already_gone = "j\xC3\xA1 n\xC3\xA3o estava mais l\xC3\xA1";         // já não ... lá
constexpr std::string_view not_deletable_now = "n\xC3\xA3o p\xC3\xB4" "de ser apagado agora";  // não pôde
constexpr std::string_view separator = " \xE2\x80\x94 ";                                       // U+2014

}  // namespace

std::string_view failure_reason(const FsError& error) {
  if (!error.code) return not_deletable_now;
  switch (*error.code) {
    case windows_error::sharing_violation:
    case windows_error::lock_violation:
      return in_use;
    case windows_error::access_denied:
      return protected_by_system;
    case windows_error::file_not_found:
    case windows_error::path_not_found:
      return already_gone;
    default:
      return not_deletable_now;
  }
}

std::string failure_text(std::string_view name, const FsError& error) {
  std::string text(name);
  text += separator;
  text += failure_reason(error);
  return text;
}

std::string describe_failure(std::u16string_view path, const FsError& error) {
  return failure_text(utf16_to_utf8_lossy(last_ordinary_component(path).value_or(path)), error);
}

}  // namespace tarnwick::clean

#pragma once

#include "elevate/response/response_file.hpp"

namespace tarnwick {

// Writes the response where the helper's caller itself may write, and only
// into a plain file:
// - paths in the device or object namespaces, network paths, alternate data
//   streams and device names are refused before anything is opened;
// - the file is opened (created when missing) while the thread acts as the
//   verified caller (win::ActingAsCaller), without following a link at the
//   last component and without truncating; with no verified caller nothing
//   is opened at all;
// - a directory, a link, a device or a file with a second hard link is
//   refused before a byte of it changes; a file created only to be refused
//   is removed again;
// - otherwise the same file is truncated in place (never deleted and
//   re-created) and every byte written, sharing read, write and delete.
// A refusal is a failure to write: the helper's status does not change.
class WinResponseWriter final : public ResponseWriter {
 public:
  bool write_response_file(std::string_view path, std::string_view bytes) override;
};

}  // namespace tarnwick

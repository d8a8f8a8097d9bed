#pragma once

#include <windows.h>

#include <string>

#include "client/client_error.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::client {

// The folder of one run, %LOCALAPPDATA%\tarnwick-run-<32 random hex digits>,
// holding response.json, created empty and kept open (sharing read, write and
// delete) so that the answer is read from the very file the helper was given.
// Both are removed when the owner goes, on every way out.
class RunFolder {
 public:
  static Outcome<RunFolder> create();

  RunFolder(RunFolder&& other) noexcept;
  RunFolder& operator=(RunFolder&&) = delete;
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  ~RunFolder();

  // Leaves the folder and file in place: for a helper that may still write
  // there after this owner goes.
  void keep();

  const std::wstring& response_path() const { return response_path_; }
  HANDLE response_handle() const { return response_.get(); }

 private:
  RunFolder(std::wstring folder, std::wstring response_path, win::UniqueFile response)
      : folder_(std::move(folder)), response_path_(std::move(response_path)), response_(std::move(response)) {}

  std::wstring folder_;  // empty once moved from
  std::wstring response_path_;
  win::UniqueFile response_;
};

}  // namespace tarnwick::client

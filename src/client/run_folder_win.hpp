#pragma once

#include <windows.h>

#include <string>

#include "client/client_error.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::client {

// The folder of one run, <base>\tarnwick-run-<32 random hex digits>,
// holding response.json, so that the answer is read from the very file the
// helper was given:
// - the base is where nobody but the identity the helper writes as can
//   change anything (run_base.hpp): for a client that holds Administrators,
//   tarnwick-runs in the system's Windows directory, checked from the
//   volume's root down; for any other client, the user's own
//   %LOCALAPPDATA%;
// - the folder is created, and the file in it, through handles (relative to
//   the handle of the folder above), each only if nothing is there yet;
// - the folder gets a protected access list granting only the identity that
//   will write and read the file: Administrators and SYSTEM, owned by
//   Administrators, for a client that holds Administrators (whose helper
//   writes as that client), so that the user's processes without those
//   rights cannot add, remove or replace anything in it; the user alone for
//   any other;
// - both stay open, the folder without sharing delete, so that neither it
//   nor a folder above it can be renamed or removed while the run lasts;
// - the helper is given the folder's final path (links resolved), so no link
//   on the way can lead it elsewhere;
// - both are removed through their handles when the owner goes, on every
//   way out; no path is opened again. An owner whose helper may still run
//   keeps it until the helper has ended (WinHelperRunner);
// - before a new folder is made, the folders of earlier runs in the same
//   base whose run has ended are removed (a client that ended before its
//   helper, or was stopped, leaves its folder behind): only names of this
//   form, each opened through the base's handle without following a link,
//   for delete and without sharing, which fails while a run still holds it
//   open; one holding anything but response.json is left alone.
class RunFolder {
 public:
  // `allow_changeable_base`: a client that holds Administrators uses a base
  // that its user's processes without those rights could change (for
  // development only: under Wine every file is the user's); see
  // open_checked_folder.
  static Outcome<RunFolder> create(bool allow_changeable_base);

  RunFolder(RunFolder&& other) noexcept = default;
  RunFolder& operator=(RunFolder&&) = delete;
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  ~RunFolder();

  const std::wstring& response_path() const { return response_path_; }
  HANDLE response_handle() const { return response_.get(); }
  HANDLE folder_handle() const { return folder_.get(); }

 private:
  RunFolder(win::UniqueFile folder, std::wstring response_path, win::UniqueFile response)
      : folder_(std::move(folder)), response_path_(std::move(response_path)), response_(std::move(response)) {}

  win::UniqueFile folder_;
  std::wstring response_path_;
  win::UniqueFile response_;
};

}  // namespace tarnwick::client

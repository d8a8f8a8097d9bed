#pragma once

// The registry back-end of the helper: the machine-wide Run key and its
// StartupApproved state, through the Win32 registry API. No <windows.h>
// here, so portable code may name the type; the implementation is Win32
// (registry_hklm_win.cpp).

#include "startup/startup_registry.hpp"

namespace tarnwick {

// Holds no state: every operation opens the keys it needs under
// HKEY_LOCAL_MACHINE (64-bit view) and closes them before it returns.
// Failures are the registry API's error codes.
class WinRegistryHklm final : public StartupRegistry {
 public:
  // Every value of HKLM\Software\Microsoft\Windows\CurrentVersion\Run, in
  // enumeration order, with its data in text form.
  Result<std::vector<RunValue>, OsError> run_values(StartupScope scope) override;
  // The value's bytes in ...\Explorer\StartupApproved\Run; absent when the
  // key or value is missing or cannot be read. Never an error.
  // One open and one enumeration of StartupApproved\Run; never an error.
  Result<ApprovedStates, OsError> approved_values(StartupScope scope) override;
  // Creates the StartupApproved key if needed and writes `bytes` as REG_BINARY,
  // replacing the value whatever its type and length.
  Result<Done, OsError> set_approved_value(StartupScope scope, const std::string& name, const Bytes& bytes) override;
};

}  // namespace tarnwick

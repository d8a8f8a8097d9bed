#pragma once

// The machine-wide state some Windows tests own: the Run and
// StartupApproved\Run keys under HKLM, and the system's Temp and
// SoftwareDistribution\Download folders. Those tests change it only when
// the run opts in with TARNWICK_TEST_MACHINE_STATE=1 (the Wine suite does,
// for its private prefix; CI's Windows job does, on a throwaway runner);
// otherwise they skip themselves, saying why, and the helpers that would
// change that state throw instead.
//
// With the opt-in, what was there is saved before the first test and put
// back after the last one, whether tests passed or failed: every value of
// both keys exactly (name, type, data) and their security (owner, group,
// DACL; win/support/saved_key.hpp), and every entry of both folders,
// moved aside into a folder beside them and moved back. An entry the system
// holds open so that it cannot be moved stays where it is (and is named on
// standard error); a key with subkeys cannot be saved, so the tests refuse
// to run. A run that is killed midway puts nothing back: the saved entries
// stay in <Windows>\tarnwick-test-saved-<process id>.

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::test {

inline constexpr wchar_t kMachineStateVariable[] = L"TARNWICK_TEST_MACHINE_STATE";

// Whether tests may change the machine-wide state: the opt-in is set and
// what was there has been saved.
bool machine_state_allowed();
// Why they may not, for GTEST_SKIP.
std::string machine_state_refusal();
// Throws unless machine_state_allowed(): the helpers that change the state
// call it, so that a test which forgot to skip fails instead of doing harm.
void require_machine_state();

}  // namespace tarnwick::test

// First thing in a test (or its fixture's SetUp) that changes the state.
#define TARNWICK_SKIP_UNLESS_MACHINE_STATE() \
  if (!::tarnwick::test::machine_state_allowed()) GTEST_SKIP() << ::tarnwick::test::machine_state_refusal()

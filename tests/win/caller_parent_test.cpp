// The helper writes its response only as the process that started it, and
// only while that process is still running: a parent that exits before the
// helper writes gets nothing written, and an existing file keeps its content;
// the exit status is what it would have been.
//
// The parent here is a process of its own, named to CreateProcessW through
// PROC_THREAD_ATTRIBUTE_PARENT_PROCESS (Wine 8 honours it: the live-parent
// case shows the helper then sees that process as its parent).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win/unique_handle_win.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::test {
namespace {

const std::wstring kOddHex = L"7";
constexpr char kOddHexResponse[] = R"({"status":"err","error":"bad request payload: odd hex length"})";
constexpr char kOlder[] = "an older, longer response from an earlier run\r\n";

// The helper itself, started suspended: a process that never runs a line of
// its own, only stands as the parent.
StartedProcess start_stand_in_parent() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring line = L"\"" + helper_exe_path() + L"\"";
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(::CreateProcessW(helper_exe_path().c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &process))
      << ::GetLastError();
  return {win::UniqueKernelHandle(process.hProcess), win::UniqueKernelHandle(process.hThread)};
}

DWORD resume_and_wait(StartedProcess& helper) {
  ::ResumeThread(helper.thread.get());
  EXPECT_EQ(::WaitForSingleObject(helper.process.get(), 60000), WAIT_OBJECT_0);
  DWORD status = ~DWORD{0};
  ::GetExitCodeProcess(helper.process.get(), &status);
  return status;
}

enum class Parent {
  Running,     // while the helper runs
  ExitedHeld,  // exited first; this test still holds its process object
  ExitedGone,  // exited first, and nothing holds it
};

struct Case {
  const char* what;
  Parent parent;
  bool existing_file;    // the response path holds an older file
  const char* expected;  // the file's content afterwards; nullptr: no file
};

TEST(CallerParent, OnlyAParentStillRunningGetsTheResponse) {
  const Case cases[] = {
      {"live parent, new file", Parent::Running, false, kOddHexResponse},
      {"live parent, existing file", Parent::Running, true, kOddHexResponse},
      {"parent exited and gone, new file", Parent::ExitedGone, false, nullptr},
      {"parent exited and gone, existing file", Parent::ExitedGone, true, kOlder},
      {"parent exited but its process still held, new file", Parent::ExitedHeld, false, nullptr},
      {"parent exited but its process still held, existing file", Parent::ExitedHeld, true, kOlder},
  };
  const std::wstring dir = make_temp_dir();
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring response = dir + L"\\response-" + std::to_wstring(n++) + L".json";
    if (c.existing_file) write_file_bytes(response, kOlder);

    StartedProcess parent = start_stand_in_parent();
    ASSERT_TRUE(parent.process) << c.what;
    StartedProcess helper =
        start_helper_under_parent(parent.process.get(), kOddHex + L" \"" + response + L"\"", CREATE_SUSPENDED);
    ASSERT_TRUE(helper.process) << c.what << ": " << ::GetLastError();
    if (c.parent != Parent::Running) {
      ::TerminateProcess(parent.process.get(), 0);
      ASSERT_EQ(::WaitForSingleObject(parent.process.get(), 60000), WAIT_OBJECT_0) << c.what;
      if (c.parent == Parent::ExitedGone) parent = StartedProcess{};
    }
    EXPECT_EQ(resume_and_wait(helper), 1u) << c.what;  // the same status either way
    if (c.parent == Parent::Running) ::TerminateProcess(parent.process.get(), 0);

    if (c.expected == nullptr) {
      EXPECT_FALSE(file_exists(response)) << c.what;
    } else {
      EXPECT_EQ(read_file_bytes(response), c.expected) << c.what;
    }
  }
}

}  // namespace
}  // namespace tarnwick::test

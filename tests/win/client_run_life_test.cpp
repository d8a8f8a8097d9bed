// A run that outlives its call: while its helper still runs, the client keeps
// its run folder and response file held (Wine enforces the sharing that
// refuses a rename or a replacement), whatever the app does (a later call,
// destroying the client or the runner), and removes the folder once the
// helper has ended; the app can learn its process id, wait for it with a
// limit, and cancel a wait from another thread. Also: the helper exe is held
// while it is started, only a full path is started, and an earlier run's
// folder is swept once nothing holds it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "client/helper_runner_win.hpp"
#include "client/run_folder_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "tarnwick_client.h"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/run_folders.hpp"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

std::string utf8(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ::Sleep(50);
  }
  return true;
}

// The one run folder in `now` that is not in `before`.
std::wstring new_run_folder(const std::vector<std::wstring>& before, const std::vector<std::wstring>& now) {
  std::vector<std::wstring> added;
  std::ranges::set_difference(now, before, std::back_inserter(added));
  return added.size() == 1 ? run_base_of_this_process() + L"\\" + added[0] : std::wstring();
}

// What a user's program would try on a run folder it wants to take over:
// rename it away, and replace or remove its response file. Each must fail
// while the run is held.
struct TakeOver {
  bool folder_renamed;
  bool response_replaced;
  bool response_removed;
};
TakeOver try_to_take_over(const std::wstring& folder) {
  const std::wstring response = folder + L"\\response.json";
  const std::wstring forged = make_temp_dir() + L"\\forged.json";
  HANDLE file = ::CreateFileW(forged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ::CloseHandle(file);
  TakeOver tried{};
  tried.response_replaced = ::MoveFileExW(forged.c_str(), response.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  tried.response_removed = ::DeleteFileW(response.c_str()) != FALSE;
  tried.folder_renamed = ::MoveFileW(folder.c_str(), (folder + L"-moved").c_str()) != FALSE;
  return tried;
}

void expect_held(const std::wstring& folder, const char* when) {
  SCOPED_TRACE(when);
  const TakeOver tried = try_to_take_over(folder);
  EXPECT_FALSE(tried.folder_renamed);
  EXPECT_FALSE(tried.response_replaced);
  EXPECT_FALSE(tried.response_removed);
}

class RunLife : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = run_folders();
    stand_in_ = utf8(exe_beside_tests(L"helper-stand-in.exe"));
  }
  void TearDown() override {
    for (const wchar_t* name : {L"TARNWICK_STAND_IN_SLEEP_MS", L"TARNWICK_STAND_IN_RESPONSE"}) {
      ::SetEnvironmentVariableW(name, nullptr);
    }
    tarnwick_client_destroy(client_);
    EXPECT_TRUE(eventually([&] { return run_folders() == before_; })) << "a run folder was left behind";
  }

  // A C client of the stand-in; under Wine the build folder is the user's.
  void make(std::uint32_t timeout_ms) {
    tarnwick_options options{};
    options.struct_size = sizeof options;
    options.helper_path = stand_in_.c_str();
    options.timeout_ms = timeout_ms;
    options.allow_replaceable_helper = 1;
    ASSERT_EQ(tarnwick_client_create(&options, &client_), TARNWICK_OK);
  }
  static void sleep_then_answer(const wchar_t* sleep_ms) {
    ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_SLEEP_MS", sleep_ms);
    ::SetEnvironmentVariableW(L"TARNWICK_STAND_IN_RESPONSE", L"{\"status\":\"ok\",\"data\":{\"removed_bytes\":1}}");
  }
  static win::UniqueKernelHandle open_process(std::uint32_t id) {
    return win::UniqueKernelHandle(::OpenProcess(SYNCHRONIZE, FALSE, id));
  }

  std::vector<std::wstring> before_;
  std::string stand_in_;
  tarnwick_client* client_ = nullptr;
};

TEST_F(RunLife, AStillRunningRunStaysHeldThroughALaterCallAndTheClientsDestructionUntilItsHelperEnds) {
  make(2000);  // long enough for the later call's stand-in to start and answer
  sleep_then_answer(L"8000");
  std::uint64_t freed = 0;
  ASSERT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_STILL_RUNNING);
  const std::uint32_t process_id = tarnwick_running_helper_process_id(client_);
  ASSERT_NE(process_id, 0u);
  const win::UniqueKernelHandle process = open_process(process_id);
  ASSERT_TRUE(process);
  const std::wstring folder = new_run_folder(before_, run_folders());
  ASSERT_FALSE(folder.empty());
  expect_held(folder, "after the call");

  sleep_then_answer(L"0");  // a later call runs to its end
  ASSERT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_OK) << tarnwick_last_error_message(client_);
  expect_held(folder, "after a later call");
  EXPECT_EQ(tarnwick_running_helper_process_id(client_), process_id);

  const auto destroying = std::chrono::steady_clock::now();
  tarnwick_client_destroy(client_);
  client_ = nullptr;
  EXPECT_LT(std::chrono::steady_clock::now() - destroying, 1s) << "destroying the client waited for the helper";
  ASSERT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the stand-in ended early";
  expect_held(folder, "after the client was destroyed");

  ASSERT_EQ(::WaitForSingleObject(process.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(eventually([&] { return !file_exists(folder); })) << "not removed once the helper ended";
}

TEST_F(RunLife, ARunnerDestroyedWhileItsHelperRunsLeavesItHeldUntilItEnds) {
  sleep_then_answer(L"2000");
  std::wstring folder;
  win::UniqueKernelHandle process;
  {
    client::WinHelperRunner runner(client::LaunchOptions{exe_beside_tests(L"helper-stand-in.exe"), 200ms, false, true});
    const auto exit = runner.run("7b7d", client::Rights::User);
    ASSERT_FALSE(exit.ok());
    ASSERT_EQ(exit.error().kind, client::ErrorKind::StillRunning);
    process = open_process(exit.error().process_id);
    folder = new_run_folder(before_, run_folders());
  }
  ASSERT_TRUE(process);
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  expect_held(folder, "after the runner was destroyed");
  ASSERT_EQ(::WaitForSingleObject(process.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(eventually([&] { return !file_exists(folder); }));
}

TEST_F(RunLife, AWaitEndsAtItsLimitOrWhenAnotherThreadCancelsItAndTheHelperGoesOn) {
  make(60000);
  std::uint64_t freed = 0;
  ASSERT_EQ(tarnwick_wait_for_helpers(client_, 0), TARNWICK_OK);  // none yet
  EXPECT_EQ(tarnwick_running_helper_process_id(client_), 0u);
  tarnwick_cancel_wait(client_);  // no call in progress: does nothing to the next one
  sleep_then_answer(L"0");
  ASSERT_EQ(tarnwick_clean_system(client_, &freed), TARNWICK_OK) << tarnwick_last_error_message(client_);

  // A call cancelled from another thread returns at once; its helper goes on.
  sleep_then_answer(L"4000");
  const auto cancel_soon = [&] {
    ::Sleep(500);
    tarnwick_cancel_wait(client_);
  };
  std::thread canceller(cancel_soon);
  auto started = std::chrono::steady_clock::now();
  const tarnwick_status cancelled = tarnwick_clean_system(client_, &freed);
  canceller.join();
  ASSERT_EQ(cancelled, TARNWICK_STILL_RUNNING);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  const std::string message = tarnwick_last_error_message(client_);
  EXPECT_NE(message.find("cancelled"), std::string::npos) << message;
  const std::uint32_t process_id = tarnwick_running_helper_process_id(client_);
  ASSERT_NE(process_id, 0u);
  EXPECT_NE(message.find("process " + std::to_string(process_id)), std::string::npos) << message;
  const win::UniqueKernelHandle process = open_process(process_id);
  ASSERT_TRUE(process);

  // Waits: a limit, a cancel, and then until it ends.
  EXPECT_EQ(tarnwick_wait_for_helpers(client_, 100), TARNWICK_STILL_RUNNING);
  std::thread second_canceller(cancel_soon);
  started = std::chrono::steady_clock::now();
  EXPECT_EQ(tarnwick_wait_for_helpers(client_, TARNWICK_WAIT_WITHOUT_LIMIT), TARNWICK_STILL_RUNNING);
  second_canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(tarnwick_wait_for_helpers(client_, 20000), TARNWICK_OK) << tarnwick_last_error_message(client_);
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(tarnwick_running_helper_process_id(client_), 0u);
  EXPECT_EQ(run_folders(), before_);  // removed by the wait itself

  EXPECT_EQ(tarnwick_wait_for_helpers(nullptr, 0), TARNWICK_INVALID_ARGUMENT);
  EXPECT_EQ(tarnwick_running_helper_process_id(nullptr), 0u);
  tarnwick_cancel_wait(nullptr);
}

TEST_F(RunLife, OnlyAFullHelperPathIsStarted) {
  for (const char* relative : {"helper-stand-in.exe", "bin\\helper-stand-in.exe", ".\\helper-stand-in.exe",
                               "Z:helper-stand-in.exe", "\\helper-stand-in.exe"}) {
    SCOPED_TRACE(relative);
    tarnwick_options options{};
    options.struct_size = sizeof options;
    options.helper_path = relative;
    tarnwick_client* none = nullptr;
    EXPECT_EQ(tarnwick_client_create(&options, &none), TARNWICK_INVALID_ARGUMENT);
    EXPECT_EQ(none, nullptr);

    const std::string text(relative);
    client::WinHelperRunner runner(client::LaunchOptions{std::wstring(text.begin(), text.end()), 60s, false, true});
    const auto exit = runner.run("7b7d", client::Rights::User);
    ASSERT_FALSE(exit.ok());
    EXPECT_EQ(exit.error().kind, client::ErrorKind::LaunchFailed);
    EXPECT_NE(exit.error().message.find("is not a full path"), std::string::npos) << exit.error().message;
  }
}

TEST_F(RunLife, TheHelperExeIsHeldAgainstWritingRenamingAndRemovingUntilItHasStarted) {
  const std::wstring folder = make_temp_dir();
  const std::wstring helper = folder + L"\\tarnwick-helper.exe";
  ASSERT_TRUE(::CopyFileW(exe_beside_tests(L"helper-stand-in.exe").c_str(), helper.c_str(), TRUE));
  for (const bool elevate : {true, false}) {
    SCOPED_TRACE(elevate ? "runas" : "direct");
    client::WinHelperRunner runner(client::LaunchOptions{helper, 60s, elevate, true});
    bool observed = false;
    runner.on_launch([&](client::LaunchMethod, const std::wstring&) {
      observed = true;
      const win::UniqueFile writer(::CreateFileW(helper.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      EXPECT_FALSE(writer) << "opened for writing";
      EXPECT_FALSE(::MoveFileW(helper.c_str(), (folder + L"\\moved.exe").c_str()));
      EXPECT_FALSE(::DeleteFileW(helper.c_str()));
      const win::UniqueFile reader(::CreateFileW(helper.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      EXPECT_TRUE(reader) << "reading is still shared";
    });
    const auto exit = runner.run("7b7d", client::Rights::Admin);
    ASSERT_TRUE(exit.ok()) << exit.error().message;
    EXPECT_TRUE(observed);
  }
  // Released once started.
  EXPECT_TRUE(::DeleteFileW(helper.c_str())) << ::GetLastError();
}

// A drive letter defined by this user alone (subst) is refused for a start
// with administrator rights, a network path too; a listing, started with the
// caller's own rights, is not concerned.
TEST_F(RunLife, AnElevatedStartIsRefusedFromASubstDriveOrANetworkPath) {
  const std::wstring build = exe_beside_tests(L"helper-stand-in.exe");
  const std::wstring build_folder = build.substr(0, build.find_last_of(L'\\'));
  wchar_t letter = 0;
  for (wchar_t candidate = L'P'; candidate <= L'Y' && letter == 0; ++candidate) {
    const wchar_t drive[] = {candidate, L':', L'\0'};
    wchar_t target[MAX_PATH];
    if (::QueryDosDeviceW(drive, target, MAX_PATH) == 0) letter = candidate;
  }
  ASSERT_NE(letter, 0) << "no free drive letter";
  const std::wstring drive{letter, L':'};
  ASSERT_TRUE(::DefineDosDeviceW(0, drive.c_str(), build_folder.c_str())) << ::GetLastError();
  const std::wstring through_subst = drive + L"\\helper-stand-in.exe";
  for (const auto& [path, refusal] : {std::pair{through_subst, "drive " + utf8(drive)},
                                      std::pair{std::wstring(L"\\\\tarnwick-no-server\\share\\helper.exe"),
                                                std::string("it is not on one of this machine's drives")}}) {
    SCOPED_TRACE(utf8(path));
    client::WinHelperRunner runner(client::LaunchOptions{path, 60s, true, true});
    const auto exit = runner.run("7b7d", client::Rights::Admin);
    ASSERT_FALSE(exit.ok());
    EXPECT_EQ(exit.error().kind, client::ErrorKind::LaunchFailed);
    EXPECT_NE(exit.error().message.find("with administrator rights: " + refusal), std::string::npos)
        << exit.error().message;
  }
  if (!client::this_process_is_elevated()) {
    client::WinHelperRunner runner(client::LaunchOptions{through_subst, 60s, true, true});
    const auto listed = runner.run("7b7d", client::Rights::User);
    EXPECT_TRUE(listed.ok()) << listed.error().message;
  }
  ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive.c_str(), build_folder.c_str());
}

// Folders of the run-folder form that nothing holds are removed before a new
// run folder is made; one still held, one of another form, one holding
// something of someone else's, and a file are left alone.
TEST_F(RunLife, EndedRunsFoldersAreSweptAndNothingElse) {
  {
    // The base exists from the first run on.
    auto first = client::RunFolder::create(running_under_wine());
    ASSERT_TRUE(first.ok()) << first.error().message;
  }
  const std::wstring base = run_base_of_this_process() + L"\\";
  const std::wstring hex(32, L'a');
  struct Case {
    std::wstring name;
    bool folder;
    const wchar_t* inside;  // a file made in it, or nullptr
    bool held;
    bool swept;
  };
  const Case cases[] = {
      {L"tarnwick-run-" + hex, true, L"response.json", false, true},
      {L"tarnwick-run-0123456789abcdef0123456789abcdef", true, nullptr, false, true},
      {L"tarnwick-run-" + std::wstring(31, L'b') + L"c", true, L"response.json", true, false},  // a run in progress
      {L"tarnwick-run-" + std::wstring(32, L'd'), true, L"notes.txt", false, false},
      {L"tarnwick-run-" + std::wstring(32, L'E'), true, nullptr, false, false},  // not a name this client gives
      {L"tarnwick-run-" + std::wstring(31, L'f'), true, nullptr, false, false},
      {L"tarnwick-run-" + std::wstring(32, L'9') + L"x", true, nullptr, false, false},
      {L"tarnwick-run-" + std::wstring(32, L'8'), false, nullptr, false, false},  // a file
  };
  std::vector<win::UniqueFile> holds;
  for (const auto& c : cases) {
    const std::wstring path = base + c.name;
    if (c.folder) {
      ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << utf8(c.name);
      if (c.inside != nullptr) {
        HANDLE file = ::CreateFileW((path + L"\\" + c.inside).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::CloseHandle(file);
      }
    } else {
      HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      ::CloseHandle(file);
    }
    if (c.held) {
      // As a run holds its folder: open, sharing everything but delete.
      holds.emplace_back(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      ASSERT_TRUE(holds.back());
    }
  }
  {
    auto run = client::RunFolder::create(running_under_wine());
    ASSERT_TRUE(run.ok()) << run.error().message;
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(utf8(c.name));
    const std::wstring path = base + c.name;
    EXPECT_EQ(file_exists(path), !c.swept);
    if (c.inside != nullptr && !c.swept) {
      EXPECT_TRUE(file_exists(path + L"\\" + c.inside));
    }
  }
  holds.clear();
  for (const auto& c : cases) {
    const std::wstring path = base + c.name;
    if (c.inside != nullptr) ::DeleteFileW((path + L"\\" + c.inside).c_str());
    if (c.folder) {
      ::RemoveDirectoryW(path.c_str());
    } else {
      ::DeleteFileW(path.c_str());
    }
  }
}

// A link of the run-folder form is neither followed nor removed: what it
// leads to keeps its response.json. (Wine makes no junctions: Windows only.)
TEST_F(RunLife, ASweepNeverFollowsALinkOfTheRunFolderForm) {
  const std::wstring target = make_temp_dir();
  const std::wstring kept = target + L"\\response.json";
  HANDLE file = ::CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  const std::wstring link = run_base_of_this_process() + L"\\tarnwick-run-" + std::wstring(32, L'7');
  if (auto why = make_junction(link, target)) {
    ::RemoveDirectoryW(link.c_str());  // what an attempt may leave (Wine: a plain folder)
    ::DeleteFileW(kept.c_str());
    GTEST_SKIP() << *why;
  }
  {
    auto run = client::RunFolder::create(running_under_wine());
    ASSERT_TRUE(run.ok()) << run.error().message;
  }
  EXPECT_TRUE(file_exists(kept));
  EXPECT_TRUE(file_exists(link));
  ::RemoveDirectoryW(link.c_str());  // the junction itself
  ::DeleteFileW(kept.c_str());
}

}  // namespace
}  // namespace tarnwick::test

// The helper end to end on Windows, from a parent process as an app runs it:
// tarnwick-client.exe started by this test lists, disables and enables a Run
// entry and cleans a system Temp that holds every kind of entry Windows
// has (a junction, a directory and a file symbolic link, a hard link to a
// file outside, a read-only file, a file another process holds open, a
// sparse file). Nothing outside the targets may change, and the space
// counted is exactly what went. Wine makes no links and no sparse files, so
// there the test skips itself.

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/unique_handle_win.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/helper_process.hpp"
#include "win/support/machine_state.hpp"
#include "win/support/startup_keys.hpp"
#include "win/support/system_folders.hpp"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

HelperRun client(const std::wstring& arguments) {
  return run_program(exe_beside_tests(L"tarnwick-client.exe"), L"--allow-replaceable-helper --direct " + arguments);
}

// Every entry under `folder` with its bytes (empty for a folder or link).
std::vector<std::pair<std::wstring, std::string>> snapshot(const std::wstring& folder) {
  std::vector<std::pair<std::wstring, std::string>> entries;
  for (const std::wstring& entry : entries_under(folder))
    entries.emplace_back(entry, read_file_bytes(folder + L"\\" + entry));
  return entries;
}

// A sparse file of `size` bytes with `written` bytes of data at its start;
// gives the space the file system allocated to it.
std::uint64_t make_sparse_file(const std::wstring& path, std::int64_t size, DWORD written) {
  const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(file.valid()) << ::GetLastError();
  DWORD returned = 0;
  EXPECT_TRUE(::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr))
      << ::GetLastError();
  const std::string data(written, 'd');
  DWORD done = 0;
  EXPECT_TRUE(::WriteFile(file.get(), data.data(), written, &done, nullptr));
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  EXPECT_TRUE(::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end)) << ::GetLastError();
  ::FlushFileBuffers(file.get());
  FILE_STANDARD_INFO standard{};
  EXPECT_TRUE(::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard));
  return static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
}

// Another process (cmd.exe waiting) that holds `path` open for reading
// without sharing delete, through a handle it inherited; ended when
// this goes.
class FileHeldByAnotherProcess {
 public:
  explicit FileHeldByAnotherProcess(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return;
    // Waits on its hidden console's input, starting nothing else that would
    // inherit the handle too.
    std::wstring command = L"cmd.exe /d /c pause";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &started)) {
      return;
    }
    process_ = win::UniqueKernelHandle(started.hProcess);
    const win::UniqueKernelHandle thread(started.hThread);
  }  // this process's handle closes here: only the child holds the file
  ~FileHeldByAnotherProcess() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 0);
    ::WaitForSingleObject(process_.get(), 10000);
  }
  FileHeldByAnotherProcess(const FileHeldByAnotherProcess&) = delete;
  FileHeldByAnotherProcess& operator=(const FileHeldByAnotherProcess&) = delete;
  bool holds() const { return process_.valid(); }

 private:
  win::UniqueKernelHandle process_;
};

TEST(WindowsEndToEnd, TheClientListsDisablesEnablesAndCleansEveryKindOfEntryExactly) {
  if (running_under_wine()) {
    GTEST_SKIP() << "Wine makes no junctions, symbolic links or sparse files: the tree needs real Windows";
  }
  TARNWICK_SKIP_UNLESS_MACHINE_STATE();

  reset_to_alpha_and_tool();
  const HelperRun listed = client(L"list --json");
  EXPECT_EQ(listed.exit_code, 0u) << listed.standard_error;
  EXPECT_NE(listed.standard_output.find(R"({"command":"C:\\Tools\\tool.exe /quiet","enabled":true,"name":"Tool")"),
            std::string::npos)
      << listed.standard_output;
  const HelperRun disabled = client(L"disable tool");
  EXPECT_EQ(disabled.standard_output, "Disabled Tool\n") << disabled.standard_error;
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x03"s + std::string(11, '\0')}));
  const HelperRun enabled = client(L"enable Tool");
  EXPECT_EQ(enabled.standard_output, "Enabled Tool\n") << enabled.standard_error;
  EXPECT_EQ(approved_value_stored(L"Tool"), (StoredValue{REG_BINARY, "\x02"s + std::string(11, '\0')}));
  reset_startup_keys();

  const OwnedSystemFolders system;
  const std::wstring outside = make_temp_dir();
  make_file(outside + L"\\dir\\keep.dat", 1000);
  make_file(outside + L"\\file.dat", 700);
  make_file(outside + L"\\linked.dat", 300);
  const auto outside_before = snapshot(outside);

  const std::wstring temp = system.temp();
  if (auto why = make_junction(temp + L"\\junction", outside + L"\\dir")) GTEST_SKIP() << *why;
  if (auto why = make_directory_symlink(temp + L"\\dir-link", outside + L"\\dir")) GTEST_SKIP() << *why;
  ASSERT_TRUE(::CreateSymbolicLinkW((temp + L"\\file-link").c_str(), (outside + L"\\file.dat").c_str(),
                                    SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
      << ::GetLastError();
  ASSERT_TRUE(::CreateHardLinkW((temp + L"\\hard-link.dat").c_str(), (outside + L"\\linked.dat").c_str(), nullptr))
      << ::GetLastError();
  make_file(temp + L"\\read-only.txt", 123, FILE_ATTRIBUTE_READONLY);
  make_file(temp + L"\\sub\\plain.tmp", 100);
  make_file(temp + L"\\held.log", 50);
  const std::uint64_t sparse_allocation = make_sparse_file(temp + L"\\sparse.bin", std::int64_t{64} << 20, 4096);
  ASSERT_LT(sparse_allocation, std::uint64_t{64} << 20) << "the file system did not keep the file sparse";
  const FileHeldByAnotherProcess held(temp + L"\\held.log");
  ASSERT_TRUE(held.holds()) << ::GetLastError();

  const HelperRun cleaned = client(L"clean --json");
  EXPECT_EQ(cleaned.exit_code, 0u) << cleaned.standard_error;
  // The read-only file, the plain file and the sparse file's allocation;
  // links and the second name of a file outside free nothing; the held file
  // stays.
  EXPECT_EQ(cleaned.standard_output, "{\"removed_bytes\":" + std::to_string(123 + 100 + sparse_allocation) + "}\n");
  std::vector<std::wstring> left = system.temp_leftovers();
  left.push_back(L"held.log");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(entries_under(temp), left);
  EXPECT_EQ(snapshot(outside), outside_before);
}

}  // namespace
}  // namespace tarnwick::test

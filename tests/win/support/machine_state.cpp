#include "win/support/machine_state.hpp"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "win/support/ascii_text.hpp"
#include "win/support/folder_tree.hpp"
#include "win/support/saved_key.hpp"
#include "win/support/startup_keys.hpp"
#include "win/support/system_folders.hpp"

namespace tarnwick::test {
namespace {

struct SavedFolder {
  std::wstring folder;
  std::wstring saved_in;
  std::vector<std::wstring> moved;  // names moved into saved_in
};

struct State {
  bool opted_in = false;
  bool saved = false;
  std::string refusal;
  SavedKey run;
  SavedKey approved;
  std::wstring saved_root;
  std::vector<SavedFolder> folders;
};

State& state() {
  static State instance;
  return instance;
}

bool opted_in() {
  wchar_t value[8] = {};
  const DWORD length = ::GetEnvironmentVariableW(kMachineStateVariable, value, 8);
  return length == 1 && value[0] == L'1';
}

// The owner, group and DACL entries of a key's security in SDDL, without the
// DACL's control flags (protected, auto-inherited), which setting a DACL
// back need not carry over on every system.
std::wstring comparable_security(std::wstring text) {
  const std::size_t dacl = text.find(L"D:");
  if (dacl == std::wstring::npos) return text;
  const std::size_t first_entry = text.find(L'(', dacl);
  text.erase(dacl + 2, (first_entry == std::wstring::npos ? text.size() : first_entry) - (dacl + 2));
  return text;
}

// Puts HKLM\path back as saved and checks that its security reads as before.
bool restore_machine_key(const wchar_t* path, const SavedKey& saved) {
  bool ok = restore_key(HKEY_LOCAL_MACHINE, path, saved);
  if (!saved.present) return ok;
  const std::wstring before = comparable_security(security_text(saved.security));
  const std::wstring after = comparable_security(key_security_text(HKEY_LOCAL_MACHINE, path));
  if (before != after) {
    std::fprintf(stderr, "machine state: HKLM\\%s had the security %s and now has %s\n", narrow(path).c_str(),
                 narrow(before).c_str(), narrow(after).c_str());
    ok = false;
  }
  return ok;
}

std::vector<std::wstring> names_in(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileW((extended(folder) + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

// Moves every entry of the folder into saved_in (same volume: a rename,
// links moved as themselves, nothing copied).
SavedFolder save_folder(const std::wstring& folder, const std::wstring& saved_in) {
  SavedFolder saved{folder, saved_in, {}};
  make_folder(saved_in);
  for (const std::wstring& name : names_in(folder)) {
    if (::MoveFileExW(extended(folder + L"\\" + name).c_str(), extended(saved_in + L"\\" + name).c_str(), 0)) {
      saved.moved.push_back(name);
    } else {
      std::fprintf(stderr, "machine state: %s\\%s is in use and stays in place (error %lu)\n", narrow(folder).c_str(),
                   narrow(name).c_str(), ::GetLastError());
    }
  }
  return saved;
}

bool restore_folder(const SavedFolder& saved) {
  empty_folder(saved.folder);  // what the tests left
  bool ok = true;
  for (const std::wstring& name : saved.moved) {
    ok = ::MoveFileExW(extended(saved.saved_in + L"\\" + name).c_str(), extended(saved.folder + L"\\" + name).c_str(),
                       0) &&
         ok;
  }
  if (ok) ::RemoveDirectoryW(extended(saved.saved_in).c_str());
  return ok;
}

class MachineStateEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    State& s = state();
    s.opted_in = opted_in();
    if (!s.opted_in) {
      s.refusal = "changes the machine-wide Run keys or the system's Temp and Download folders; set " +
                  narrow(kMachineStateVariable) + "=1 to run it (it saves and puts back what is there)";
      return;
    }
    try {
      s.run = save_key(HKEY_LOCAL_MACHINE, kRunKeyPath);
      s.approved = save_key(HKEY_LOCAL_MACHINE, kApprovedKeyPath);
      const std::wstring windows = system_windows_directory_path();
      s.saved_root = windows + L"\\tarnwick-test-saved-" + std::to_wstring(::GetCurrentProcessId());
      s.folders.push_back(save_folder(windows + L"\\Temp", s.saved_root + L"\\Temp"));
      s.folders.push_back(save_folder(windows + L"\\SoftwareDistribution\\Download", s.saved_root + L"\\Download"));
      s.saved = true;
    } catch (const std::exception& e) {
      s.refusal = std::string("the machine-wide state could not be saved: ") + e.what();
      for (const SavedFolder& folder : s.folders) restore_folder(folder);
      s.folders.clear();
    }
  }

  void TearDown() override {
    State& s = state();
    if (!s.saved) return;
    s.saved = false;  // nothing changes the state from here on
    bool ok = restore_machine_key(kRunKeyPath, s.run);
    ok = restore_machine_key(kApprovedKeyPath, s.approved) && ok;
    for (const SavedFolder& folder : s.folders) ok = restore_folder(folder) && ok;
    if (ok) {
      ::RemoveDirectoryW(extended(s.saved_root).c_str());
    } else {
      std::fprintf(stderr, "machine state: not everything could be put back; saved entries stay in %s\n",
                   narrow(s.saved_root).c_str());
    }
    EXPECT_TRUE(ok) << "the machine-wide state was not put back whole";
  }
};

// gtest owns the environment and runs it around all tests.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new MachineStateEnvironment);

}  // namespace

bool machine_state_allowed() { return state().saved; }

std::string machine_state_refusal() {
  return state().refusal.empty() ? std::string("the machine-wide state is not saved") : state().refusal;
}

void require_machine_state() {
  if (!machine_state_allowed())
    throw std::runtime_error("refusing to change machine-wide state: " + machine_state_refusal());
}

}  // namespace tarnwick::test

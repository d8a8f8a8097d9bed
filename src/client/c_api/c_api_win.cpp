// tarnwick-client.dll: the C interface (include/tarnwick_client.h) over the
// C++ Client. Every entry point catches whatever the C++ side throws; nothing
// but a tarnwick_status leaves the DLL. The definitions leave out
// TARNWICK_CALL: the DLL is built for x64 with the compiler's default, the
// standard x64 convention, which __cdecl names there.

#define TARNWICK_CLIENT_BUILDING
#include "tarnwick_client.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/client.hpp"
#include "client/entry_lookup.hpp"
#include "client/helper_path.hpp"
#include "client/helper_runner_win.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/wide_win.hpp"
#include "version.hpp"
#include "wire/protocol.hpp"

// The header's version is the project's (CMake passes the project's).
static_assert(TARNWICK_VERSION_MAJOR == TARNWICK_PROJECT_VERSION_MAJOR &&
                  TARNWICK_VERSION_MINOR == TARNWICK_PROJECT_VERSION_MINOR &&
                  TARNWICK_VERSION_PATCH == TARNWICK_PROJECT_VERSION_PATCH,
              "include/tarnwick_client.h's TARNWICK_VERSION_ macros differ from project()'s version");
// The newest options structure is the one this header declares; the layout
// every version shipped keeps (x64).
static_assert(sizeof(tarnwick_options) == TARNWICK_OPTIONS_SIZE_V1);
static_assert(offsetof(tarnwick_options, helper_path) == 8 && offsetof(tarnwick_options, timeout_ms) == 16 &&
              offsetof(tarnwick_options, owner_window) == 24 &&
              offsetof(tarnwick_options, allow_replaceable_helper) == 32);

struct tarnwick_client {
  tarnwick::client::LaunchOptions options;
  std::string last_message;
  std::uint32_t last_os_error = 0;
  std::optional<std::uint32_t> last_exit_status;
  // The client's runs, one runner for all its calls: a helper still running
  // after its call stays held by it (and, once the client is destroyed, by
  // a waiter) until it ends.
  std::unique_ptr<tarnwick::client::WinHelperRunner> runner;
};

struct tarnwick_startup_list {
  std::vector<tarnwick::client::StartupEntry> entries;
};

namespace {

using tarnwick::client::ClientError;
using tarnwick::client::ErrorKind;

tarnwick_status status_of(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Refused:
      return TARNWICK_REFUSED;
    case ErrorKind::NotFound:
      return TARNWICK_NOT_FOUND;
    case ErrorKind::ActionFailed:
      return TARNWICK_ACTION_FAILED;
    case ErrorKind::ConsentDeclined:
      return TARNWICK_CONSENT_DECLINED;
    case ErrorKind::LaunchFailed:
      return TARNWICK_LAUNCH_FAILED;
    case ErrorKind::StillRunning:
      return TARNWICK_STILL_RUNNING;
    case ErrorKind::NoUsableResponse:
      return TARNWICK_NO_USABLE_RESPONSE;
    case ErrorKind::InternalError:
      return TARNWICK_INTERNAL_ERROR;
    case ErrorKind::InvalidRequest:
      return TARNWICK_INVALID_REQUEST;
  }
  return TARNWICK_INTERNAL_ERROR;
}

void clear_error(tarnwick_client& client) {
  client.last_message.clear();
  client.last_os_error = 0;
  client.last_exit_status.reset();
}

tarnwick_status fail(tarnwick_client& client, const ClientError& error) {
  client.last_message = tarnwick::client::describe(error);
  client.last_os_error = error.os_error;
  client.last_exit_status = error.exit_status;
  return status_of(error.kind);
}

tarnwick_status misuse(tarnwick_client& client, const char* what) {
  client.last_message = what;
  return TARNWICK_INVALID_ARGUMENT;
}

// Runs one call on a client: the error cleared first, exceptions turned into
// a status. The message is assigned without allocating where memory ran out.
template <class Call>
tarnwick_status guarded(tarnwick_client* client, Call&& call) noexcept {
  if (client == nullptr) return TARNWICK_INVALID_ARGUMENT;
  clear_error(*client);
  try {
    return call(*client);
  } catch (const std::bad_alloc&) {
    client->last_message.clear();
    return TARNWICK_OUT_OF_MEMORY;
  } catch (...) {
    client->last_message.clear();
    return TARNWICK_INTERNAL_ERROR;
  }
}

// guarded, for a call that runs the helper: its success means the helper ran
// to its end with exit status 0 (the reading accepts no other with an "ok").
template <class Call>
tarnwick_status guarded_run(tarnwick_client* client, Call&& call) noexcept {
  const tarnwick_status status = guarded(client, std::forward<Call>(call));
  if (status == TARNWICK_OK) client->last_exit_status = 0;
  return status;
}

// tarnwick-helper.exe in the folder of this DLL (not of the program that
// loaded it).
std::optional<std::wstring> helper_beside_this_dll() {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&helper_beside_this_dll), &module)) {
    return std::nullopt;
  }
  std::wstring path(32768, L'\0');  // the longest path there is, its NUL included
  const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::nullopt;
  path.resize(length);
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + L"tarnwick-helper.exe";
}

// Why the last tarnwick_client_create on this thread failed. Plain storage
// (no destructor to run at thread exit, which a DLL cannot rely on): the
// message is cut at a character's start if it is longer.
thread_local char create_error_text[1024];
thread_local std::uint32_t create_error_code;

tarnwick_status set_create_error(tarnwick_status status, std::string_view message, std::uint32_t os_error = 0) {
  std::size_t length = std::min(message.size(), sizeof create_error_text - 1);
  while (length < message.size() && length > 0 && (static_cast<unsigned char>(message[length]) & 0xC0) == 0x80) {
    --length;  // not inside a UTF-8 sequence
  }
  std::memcpy(create_error_text, message.data(), length);
  create_error_text[length] = '\0';
  create_error_code = os_error;
  return status;
}

// Every struct_size a version of the DLL has shipped, oldest first; the last
// is sizeof(tarnwick_options).
constexpr std::uint32_t kOptionsSizes[] = {TARNWICK_OPTIONS_SIZE_V1};
static_assert(kOptionsSizes[std::size(kOptionsSizes) - 1] == sizeof(tarnwick_options));

// The caller's options as this DLL's structure: an older one with the members
// it lacks zero (their defaults), a newer one without its tail, which must be
// zero (members this DLL does not know, at their defaults). Otherwise why not.
// The caller vouches for struct_size bytes at `given`.
std::optional<std::string> read_options(const tarnwick_options& given, tarnwick_options& known) {
  known = tarnwick_options{};
  const std::uint32_t size = given.struct_size;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&given);
  if (size > sizeof(tarnwick_options)) {
    if (std::any_of(bytes + sizeof(tarnwick_options), bytes + size, [](unsigned char b) { return b != 0; })) {
      return "tarnwick_options: struct_size " + std::to_string(size) + " is from a later version, and a member " +
             "this DLL (" + TARNWICK_VERSION + ") does not know is set";
    }
    std::memcpy(&known, &given, sizeof(tarnwick_options));
    return std::nullopt;
  }
  if (std::find(std::begin(kOptionsSizes), std::end(kOptionsSizes), size) == std::end(kOptionsSizes)) {
    return "tarnwick_options: struct_size " + std::to_string(size) +
           " is not a size of the structure (set it to sizeof(tarnwick_options))";
  }
  std::memcpy(&known, &given, size);
  return std::nullopt;
}

tarnwick_status make_options(const tarnwick_options* given_or_null, tarnwick::client::LaunchOptions& options) {
  tarnwick_options given{};
  given.struct_size = sizeof given;
  if (given_or_null != nullptr) {
    if (auto wrong = read_options(*given_or_null, given)) return set_create_error(TARNWICK_INVALID_ARGUMENT, *wrong);
  }
  if (given.helper_path != nullptr) {
    auto path = tarnwick::win::to_wide(given.helper_path);
    if (!path) return set_create_error(TARNWICK_INVALID_ARGUMENT, "tarnwick_options: helper_path is not valid UTF-8");
    if (path->empty()) return set_create_error(TARNWICK_INVALID_ARGUMENT, "tarnwick_options: helper_path is empty");
    if (!tarnwick::client::is_full_path(tarnwick::win::as_utf16(*path))) {
      return set_create_error(TARNWICK_INVALID_ARGUMENT,
                              "tarnwick_options: helper_path is not a full path (C:\\... or \\\\server\\share\\...)");
    }
    options.helper_path = std::move(*path);
  } else {
    auto path = helper_beside_this_dll();
    if (!path) {
      const DWORD code = ::GetLastError();
      return set_create_error(
          TARNWICK_LAUNCH_FAILED,
          "the folder of tarnwick-client.dll cannot be found: " + tarnwick::win::os_error_text(code), code);
    }
    options.helper_path = std::move(*path);
  }
  if (given.timeout_ms != 0) options.timeout = std::chrono::milliseconds(given.timeout_ms);
  options.owner_window = static_cast<HWND>(given.owner_window);
  options.allow_replaceable_helper = given.allow_replaceable_helper != 0;
  return TARNWICK_OK;
}

// The entries and their texts in one block from malloc: the array first, then
// each name and command with a NUL after it.
tarnwick_startup_entry* copy_entries(const std::vector<tarnwick::client::StartupEntry>& entries) {
  std::size_t bytes = entries.size() * sizeof(tarnwick_startup_entry);
  for (const auto& entry : entries) bytes += entry.name.size() + entry.command.size() + 2;
  auto* block = static_cast<char*>(std::malloc(bytes));
  if (block == nullptr) throw std::bad_alloc();
  auto* out = reinterpret_cast<tarnwick_startup_entry*>(block);
  char* text = block + entries.size() * sizeof(tarnwick_startup_entry);
  const auto place = [&text](const std::string& from) {
    char* start = text;
    std::memcpy(text, from.data(), from.size());
    text += from.size();
    *text++ = '\0';
    return start;
  };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out[i].name = place(entries[i].name);
    out[i].name_length = entries[i].name.size();
    out[i].command = place(entries[i].command);
    out[i].command_length = entries[i].command.size();
    out[i].enabled = entries[i].enabled ? 1 : 0;
  }
  return out;
}

}  // namespace

extern "C" {

tarnwick_status tarnwick_client_create(const tarnwick_options* options, tarnwick_client** client) {
  set_create_error(TARNWICK_OK, "");  // cleared
  if (client == nullptr) return set_create_error(TARNWICK_INVALID_ARGUMENT, "client must not be NULL");
  *client = nullptr;
  try {
    tarnwick::client::LaunchOptions launch;
    const tarnwick_status status = make_options(options, launch);
    if (status != TARNWICK_OK) return status;
    auto runner = std::make_unique<tarnwick::client::WinHelperRunner>(launch);
    *client = new tarnwick_client{std::move(launch), {}, 0, std::nullopt, std::move(runner)};
    return TARNWICK_OK;
  } catch (const std::bad_alloc&) {
    return set_create_error(TARNWICK_OUT_OF_MEMORY, "out of memory");
  } catch (...) {
    return set_create_error(TARNWICK_INTERNAL_ERROR, "an internal error");
  }
}

void tarnwick_client_destroy(tarnwick_client* client) { delete client; }

tarnwick_status tarnwick_list_startup_entries(tarnwick_client* client, tarnwick_startup_entry** entries,
                                              size_t* count) {
  if (entries != nullptr) *entries = nullptr;
  if (count != nullptr) *count = 0;
  return guarded_run(client, [&](tarnwick_client& self) {
    if (entries == nullptr || count == nullptr) return misuse(self, "entries and count must not be NULL");
    tarnwick::client::Client api(*self.runner);
    auto listed = api.list_startup_entries();
    if (!listed) return fail(self, listed.error());
    if (!listed.value().empty()) *entries = copy_entries(listed.value());
    *count = listed.value().size();
    return TARNWICK_OK;
  });
}

void tarnwick_free_startup_entries(tarnwick_startup_entry* entries, size_t /*count*/) { std::free(entries); }

tarnwick_status tarnwick_set_startup_enabled(tarnwick_client* client, const char* name, size_t name_length,
                                             int32_t enabled) {
  return guarded_run(client, [&](tarnwick_client& self) {
    if (name == nullptr) return misuse(self, "name must not be NULL");
    const std::string text(name, name_length);
    if (!tarnwick::win::to_wide(text)) return misuse(self, "the name is not valid UTF-8");
    tarnwick::client::Client api(*self.runner);
    auto done = api.set_startup_enabled(text, enabled != 0);
    return done ? TARNWICK_OK : fail(self, done.error());
  });
}

tarnwick_status tarnwick_clean_system(tarnwick_client* client, uint64_t* removed_bytes) {
  return guarded_run(client, [&](tarnwick_client& self) {
    if (removed_bytes == nullptr) return misuse(self, "removed_bytes must not be NULL");
    *removed_bytes = 0;
    tarnwick::client::Client api(*self.runner);
    auto freed = api.clean_system();
    if (!freed) return fail(self, freed.error());
    *removed_bytes = freed.value();
    return TARNWICK_OK;
  });
}

const char* tarnwick_last_error_message(const tarnwick_client* client) {
  return client == nullptr ? "" : client->last_message.c_str();
}

uint32_t tarnwick_last_os_error(const tarnwick_client* client) { return client == nullptr ? 0 : client->last_os_error; }

int32_t tarnwick_last_exit_status(const tarnwick_client* client, uint32_t* exit_status) {
  if (client == nullptr || !client->last_exit_status) return 0;
  if (exit_status != nullptr) *exit_status = *client->last_exit_status;
  return 1;
}

const char* tarnwick_last_create_error(uint32_t* os_error) {
  if (os_error != nullptr) *os_error = create_error_code;
  return create_error_text;
}

tarnwick_status tarnwick_list_startup(tarnwick_client* client, tarnwick_startup_list** list) {
  if (list != nullptr) *list = nullptr;
  return guarded_run(client, [&](tarnwick_client& self) {
    if (list == nullptr) return misuse(self, "list must not be NULL");
    tarnwick::client::Client api(*self.runner);
    auto listed = api.list_startup_entries();
    if (!listed) return fail(self, listed.error());
    *list = new tarnwick_startup_list{std::move(listed).value()};
    return TARNWICK_OK;
  });
}

size_t tarnwick_startup_list_count(const tarnwick_startup_list* list) {
  return list == nullptr ? 0 : list->entries.size();
}

}  // extern "C"

namespace {

const tarnwick::client::StartupEntry* entry_at(const tarnwick_startup_list* list, size_t index) {
  return list == nullptr || index >= list->entries.size() ? nullptr : &list->entries[index];
}

const char* text_of(const tarnwick::client::StartupEntry* entry, std::string_view text, size_t* length) {
  if (length != nullptr) *length = entry == nullptr ? 0 : text.size();
  return entry == nullptr ? nullptr : text.data();  // NUL-terminated: a std::string's or a literal's
}

// A name given as pointer and length; nullopt for a NULL pointer with a length.
std::optional<std::string_view> name_view(const char* name, size_t length) {
  if (name == nullptr) return length == 0 ? std::optional<std::string_view>("") : std::nullopt;
  return std::string_view(name, length);
}

}  // namespace

extern "C" {

const char* tarnwick_startup_list_name(const tarnwick_startup_list* list, size_t index, size_t* length) {
  const auto* entry = entry_at(list, index);
  return text_of(entry, entry == nullptr ? "" : std::string_view(entry->name), length);
}

const char* tarnwick_startup_list_command(const tarnwick_startup_list* list, size_t index, size_t* length) {
  const auto* entry = entry_at(list, index);
  return text_of(entry, entry == nullptr ? "" : std::string_view(entry->command), length);
}

const char* tarnwick_startup_list_scope(const tarnwick_startup_list* list, size_t index, size_t* length) {
  // Every entry the helper lists is of this scope (the reading refuses others).
  static constexpr std::string_view kScope = tarnwick::wire::kScopeHklmRun;
  return text_of(entry_at(list, index), kScope, length);
}

int32_t tarnwick_startup_list_enabled(const tarnwick_startup_list* list, size_t index) {
  const auto* entry = entry_at(list, index);
  if (entry == nullptr) return -1;
  return entry->enabled ? 1 : 0;
}

void tarnwick_startup_list_free(tarnwick_startup_list* list) { delete list; }

int32_t tarnwick_same_startup_name(const char* a, size_t a_length, const char* b, size_t b_length) {
  try {
    const auto first = name_view(a, a_length);
    const auto second = name_view(b, b_length);
    if (!first || !second) return 0;
    return tarnwick::client::same_name_ignoring_case(*first, *second) ? 1 : 0;
  } catch (...) {
    return 0;  // memory ran out: no answer can be given, and "not equal" sends nothing wrong
  }
}

tarnwick_status tarnwick_find_startup_entry(const tarnwick_startup_list* list, const char* name, size_t name_length,
                                            size_t* index) {
  const auto wanted = name_view(name, name_length);
  if (list == nullptr || index == nullptr || !wanted) return TARNWICK_INVALID_ARGUMENT;
  try {
    const auto* found = tarnwick::client::find_entry(list->entries, *wanted);
    if (found == nullptr) return TARNWICK_NOT_FOUND;
    *index = static_cast<size_t>(found - list->entries.data());
    return TARNWICK_OK;
  } catch (const std::bad_alloc&) {
    return TARNWICK_OUT_OF_MEMORY;
  } catch (...) {
    return TARNWICK_INTERNAL_ERROR;
  }
}

size_t tarnwick_nearest_startup_entries(const tarnwick_startup_list* list, const char* name, size_t name_length,
                                        size_t* indexes, size_t capacity) {
  const auto wanted = name_view(name, name_length);
  if (list == nullptr || indexes == nullptr || capacity == 0 || !wanted) return 0;
  try {
    const auto nearest = tarnwick::client::nearest_indexes(list->entries, *wanted, capacity);
    std::copy(nearest.begin(), nearest.end(), indexes);
    return nearest.size();
  } catch (...) {
    return 0;  // memory ran out: none to offer
  }
}

uint32_t tarnwick_version_number(void) {
  return TARNWICK_MAKE_VERSION(TARNWICK_PROJECT_VERSION_MAJOR, TARNWICK_PROJECT_VERSION_MINOR,
                               TARNWICK_PROJECT_VERSION_PATCH);
}

const char* tarnwick_status_name(tarnwick_status status) {
  switch (status) {
    case TARNWICK_OK:
      return "TARNWICK_OK";
    case TARNWICK_REFUSED:
      return "TARNWICK_REFUSED";
    case TARNWICK_NOT_FOUND:
      return "TARNWICK_NOT_FOUND";
    case TARNWICK_ACTION_FAILED:
      return "TARNWICK_ACTION_FAILED";
    case TARNWICK_CONSENT_DECLINED:
      return "TARNWICK_CONSENT_DECLINED";
    case TARNWICK_LAUNCH_FAILED:
      return "TARNWICK_LAUNCH_FAILED";
    case TARNWICK_STILL_RUNNING:
      return "TARNWICK_STILL_RUNNING";
    case TARNWICK_NO_USABLE_RESPONSE:
      return "TARNWICK_NO_USABLE_RESPONSE";
    case TARNWICK_INTERNAL_ERROR:
      return "TARNWICK_INTERNAL_ERROR";
    case TARNWICK_INVALID_REQUEST:
      return "TARNWICK_INVALID_REQUEST";
    case TARNWICK_INVALID_ARGUMENT:
      return "TARNWICK_INVALID_ARGUMENT";
    case TARNWICK_OUT_OF_MEMORY:
      return "TARNWICK_OUT_OF_MEMORY";
  }
  return "TARNWICK_UNKNOWN";
}

const char* tarnwick_version(void) { return TARNWICK_VERSION; }

uint32_t tarnwick_running_helper_process_id(tarnwick_client* client) {
  if (client == nullptr) return 0;
  return client->runner->still_running_process_id();
}

tarnwick_status tarnwick_wait_for_helpers(tarnwick_client* client, uint32_t timeout_ms) {
  return guarded(client, [&](tarnwick_client& self) {
    const auto limit = timeout_ms == TARNWICK_WAIT_WITHOUT_LIMIT ? tarnwick::client::WinHelperRunner::kNoLimit
                                                                 : std::chrono::milliseconds(timeout_ms);
    if (self.runner->wait_for_still_running(limit)) return TARNWICK_OK;
    const std::uint32_t process_id = self.runner->still_running_process_id();
    self.last_message =
        "the helper is still running (process " + std::to_string(process_id) + ") and may still change things";
    return TARNWICK_STILL_RUNNING;
  });
}

void tarnwick_cancel_wait(tarnwick_client* client) {
  if (client != nullptr) client->runner->cancel_wait();
}

}  // extern "C"

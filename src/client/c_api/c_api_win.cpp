// tarnwick-client.dll: the C interface (include/tarnwick_client.h) over the
// C++ Client. Every entry point catches whatever the C++ side throws; nothing
// but a tarnwick_status leaves the DLL.

#define TARNWICK_CLIENT_BUILDING
#include "tarnwick_client.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "client/client.hpp"
#include "client/helper_path.hpp"
#include "client/helper_runner_win.hpp"
#include "platform/win/wide_win.hpp"
#include "version.hpp"

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

tarnwick_status make_options(const tarnwick_options* given, tarnwick::client::LaunchOptions& options) {
  if (given != nullptr && given->struct_size != sizeof(tarnwick_options)) return TARNWICK_INVALID_ARGUMENT;
  if (given != nullptr && given->helper_path != nullptr) {
    auto path = tarnwick::win::to_wide(given->helper_path);
    if (!path || !tarnwick::client::is_full_path(tarnwick::win::as_utf16(*path))) return TARNWICK_INVALID_ARGUMENT;
    options.helper_path = std::move(*path);
  } else {
    auto path = helper_beside_this_dll();
    if (!path) return TARNWICK_LAUNCH_FAILED;
    options.helper_path = std::move(*path);
  }
  if (given != nullptr && given->timeout_ms != 0) options.timeout = std::chrono::milliseconds(given->timeout_ms);
  if (given != nullptr) {
    options.owner_window = static_cast<HWND>(given->owner_window);
    options.allow_replaceable_helper = given->allow_replaceable_helper != 0;
  }
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
  if (client == nullptr) return TARNWICK_INVALID_ARGUMENT;
  *client = nullptr;
  try {
    tarnwick::client::LaunchOptions launch;
    const tarnwick_status status = make_options(options, launch);
    if (status != TARNWICK_OK) return status;
    auto runner = std::make_unique<tarnwick::client::WinHelperRunner>(launch);
    *client = new tarnwick_client{std::move(launch), {}, 0, std::nullopt, std::move(runner)};
    return TARNWICK_OK;
  } catch (const std::bad_alloc&) {
    return TARNWICK_OUT_OF_MEMORY;
  } catch (...) {
    return TARNWICK_INTERNAL_ERROR;
  }
}

void tarnwick_client_destroy(tarnwick_client* client) { delete client; }

tarnwick_status tarnwick_list_startup_entries(tarnwick_client* client, tarnwick_startup_entry** entries,
                                              size_t* count) {
  if (entries != nullptr) *entries = nullptr;
  if (count != nullptr) *count = 0;
  return guarded(client, [&](tarnwick_client& self) {
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
  return guarded(client, [&](tarnwick_client& self) {
    if (name == nullptr) return misuse(self, "name must not be NULL");
    const std::string text(name, name_length);
    if (!tarnwick::win::to_wide(text)) return misuse(self, "the name is not valid UTF-8");
    tarnwick::client::Client api(*self.runner);
    auto done = api.set_startup_enabled(text, enabled != 0);
    return done ? TARNWICK_OK : fail(self, done.error());
  });
}

tarnwick_status tarnwick_clean_system(tarnwick_client* client, uint64_t* removed_bytes) {
  return guarded(client, [&](tarnwick_client& self) {
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

/*
 * tarnwick_client.h: the C interface of tarnwick-client.dll, for apps in any
 * language (C, C++ with any compiler, C#, Rust, Electron through a C FFI).
 *
 * Each call starts tarnwick-helper.exe once with one request, waits for it,
 * and reads its answer strictly. Plain C99; compiles as C++ too.
 *
 * Strings: every string given or returned is UTF-8. Strings returned end with
 * a NUL; names and commands also come with their length in bytes, since a
 * registry name may hold U+0000.
 *
 * Memory: the caller owns what it passes in; the DLL keeps no pointer to it
 * after the call returns. What the DLL hands out is freed only by the DLL's
 * own function named at each call (never by free() or delete: the DLL has its
 * own heap).
 *
 * Errors: each call returns a tarnwick_status. TARNWICK_OK is 0; any other
 * value is an error, and tarnwick_last_error_message() on the same client
 * then gives one line for a person. The numbers are fixed: new kinds get new
 * numbers, existing ones never change.
 *
 * Threads: the calls that run the helper (tarnwick_list_startup_entries,
 * tarnwick_set_startup_enabled, tarnwick_clean_system) block until the helper
 * has exited or the client's time limit has passed (10 minutes unless
 * options say otherwise); run them on a worker thread, not on a UI thread,
 * whose window would stop responding meanwhile. A client is used by one
 * thread at a time: calls on one client must not overlap (except
 * tarnwick_cancel_wait, made for another thread). Separate clients
 * may be used from separate threads at once. tarnwick_status_name,
 * tarnwick_version and tarnwick_version_number may be called from any thread
 * at any time, and the tarnwick_startup_list_ functions from any thread on a
 * list that is not being freed.
 *
 * Elevation: a call that elevates shows the Windows consent prompt; the
 * user's "no" is TARNWICK_CONSENT_DECLINED.
 *
 * Binary interface: the DLL is built for 64-bit x86 Windows (x64) only, and
 * every function uses the C calling convention (__cdecl, TARNWICK_CALL),
 * which on x64 is the standard x64 convention; the header states it so that
 * an app built with another default (MSVC's /Gv, __vectorcall) still calls
 * it right. Declare a foreign function with it (C#: CallingConvention.Cdecl;
 * Rust: extern "C"). A later version of the DLL
 * keeps every function, value and structure layout of an earlier one and
 * only adds (docs/client.md, "Compatibility"): tarnwick_options grows at its
 * end (struct_size says which version the app was built with), a listing's
 * entries are read through functions, so they gain fields as new functions.
 * An app that needs a later version checks tarnwick_version_number() at run
 * time against TARNWICK_MAKE_VERSION(...).
 */
#ifndef TARNWICK_CLIENT_H
#define TARNWICK_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_M_X64) && !defined(__x86_64__)
#error "tarnwick-client.dll is built for x64 Windows only"
#endif

#if defined(_WIN32) && !defined(TARNWICK_CLIENT_BUILDING)
#define TARNWICK_API __declspec(dllimport)
#else
#define TARNWICK_API
#endif

/* The calling convention of every function. */
#if defined(_WIN32)
#define TARNWICK_CALL __cdecl
#else
#define TARNWICK_CALL
#endif

/* The version of this header. tarnwick_version_number() gives the DLL's,
   which may be later than the header an app was built with, never earlier
   when the app ships the DLL it was built with. */
#define TARNWICK_VERSION_MAJOR 0
#define TARNWICK_VERSION_MINOR 1
#define TARNWICK_VERSION_PATCH 0
/* A version as one number that grows with it (1.2.3 is 1002003); each part
   below 1000. Usable in #if. */
#define TARNWICK_MAKE_VERSION(major, minor, patch) ((major)*1000000 + (minor)*1000 + (patch))
#define TARNWICK_VERSION_NUMBER \
  TARNWICK_MAKE_VERSION(TARNWICK_VERSION_MAJOR, TARNWICK_VERSION_MINOR, TARNWICK_VERSION_PATCH)

#ifdef __cplusplus
extern "C" {
#endif

/* The outcome of a call. The values are part of the interface. */
typedef enum tarnwick_status {
  TARNWICK_OK = 0,
  /* The helper refused the request (a malformed request). */
  TARNWICK_REFUSED = 1,
  /* No listed startup entry has the name given. */
  TARNWICK_NOT_FOUND = 2,
  /* The action itself failed (a registry or cleaning error). */
  TARNWICK_ACTION_FAILED = 3,
  /* The user declined the elevation prompt. */
  TARNWICK_CONSENT_DECLINED = 4,
  /* The helper could not be started (missing, not executable, ...). */
  TARNWICK_LAUNCH_FAILED = 5,
  /* The time limit passed while the helper was still running: it may still
     be acting, and its answer is not read. */
  TARNWICK_STILL_RUNNING = 6,
  /* The helper exited without a usable answer. */
  TARNWICK_NO_USABLE_RESPONSE = 7,
  /* The helper stopped on an internal error. */
  TARNWICK_INTERNAL_ERROR = 8,
  /* The request could not be sent (e.g. a name too long for a command line). */
  TARNWICK_INVALID_REQUEST = 9,
  /* A misused call: a NULL pointer where one is needed, a string that is not
     valid UTF-8, an options structure of an unknown size. Nothing was run. */
  TARNWICK_INVALID_ARGUMENT = 10,
  /* Memory ran out inside the DLL. Nothing was run, or the answer was lost. */
  TARNWICK_OUT_OF_MEMORY = 11
} tarnwick_status;

/* How the helper is started. Zero the whole structure (= {0}, or memset),
   set struct_size to sizeof(tarnwick_options), then the members wanted;
   every other member zero means its default.

   A later version adds members at the end only (from the previous size on,
   never into padding, so that the size grows); the DLL accepts struct_size
   of every version it has shipped (TARNWICK_OPTIONS_SIZE_V1, ...), and a
   larger one from a later header when every byte past the members it knows
   is zero (a member it does not know, left at its default); a larger one
   with a nonzero byte there, or any other size, is TARNWICK_INVALID_ARGUMENT:
   the app asks for something this DLL cannot do. */
#define TARNWICK_OPTIONS_SIZE_V1 40 /* version 0.1: struct_size to allow_replaceable_helper */
typedef struct tarnwick_options {
  uint32_t struct_size;
  /* Full path of tarnwick-helper.exe (UTF-8). NULL: tarnwick-helper.exe in
     the folder that holds tarnwick-client.dll. */
  const char* helper_path;
  /* How long a call waits for the helper, in milliseconds; 0: 600000. */
  uint32_t timeout_ms;
  /* The window (HWND) that owns the consent prompt; NULL: none. */
  void* owner_window;
  /* Nonzero: start a helper that lies in a folder the user can write, and
     let an administrator's runs use a folder the user could change (for
     development only; a shipped app leaves this 0). */
  int32_t allow_replaceable_helper;
} tarnwick_options;

/* A client: the options and the last error. Opaque. */
typedef struct tarnwick_client tarnwick_client;

/* A listing of the machine-wide Run entries, in the Run key's order:
   opaque, read through the tarnwick_startup_list_ functions, so that an entry
   can gain fields in a later version. */
typedef struct tarnwick_startup_list tarnwick_startup_list;

/* One machine-wide Run entry, in the Run key's order, as
   tarnwick_list_startup_entries hands it out. This structure never changes
   (so it never gains a field: an entry's scope, and whatever a later version
   adds, come only through tarnwick_list_startup). */
typedef struct tarnwick_startup_entry {
  const char* name; /* "" for the key's default value */
  size_t name_length;
  const char* command;
  size_t command_length;
  int32_t enabled; /* 1 enabled, 0 disabled */
} tarnwick_startup_entry;

/* Makes a client. options: NULL for all defaults. On success *client is set;
   free it with tarnwick_client_destroy. On error *client is NULL, and
   tarnwick_last_create_error() on the same thread says why. */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_client_create(const tarnwick_options* options,
                                                                  tarnwick_client** client);

/* Frees a client and its last error. NULL does nothing. Never waits for a
   helper still running: see "Runs that outlive their call" below. */
TARNWICK_API void TARNWICK_CALL tarnwick_client_destroy(tarnwick_client* client);

/* Lists the machine-wide Run entries as an array of fixed structures (kept
   for apps built with it; tarnwick_list_startup gives every field). On
   success *entries points at *count entries (NULL when there are none); free
   them with tarnwick_free_startup_entries, even when *count is 0. On error
   *entries is NULL and *count 0. Blocks (see Threads). */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_list_startup_entries(tarnwick_client* client,
                                                                         tarnwick_startup_entry** entries,
                                                                         size_t* count);

/* Frees what tarnwick_list_startup_entries handed out. NULL does nothing. */
TARNWICK_API void TARNWICK_CALL tarnwick_free_startup_entries(tarnwick_startup_entry* entries, size_t count);

/* Enables (enabled nonzero) or disables the entry with this name: name_length
   bytes of UTF-8 at name. TARNWICK_NOT_FOUND when no entry has that name.
   Blocks (see Threads). */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_set_startup_enabled(tarnwick_client* client, const char* name,
                                                                        size_t name_length, int32_t enabled);

/* Empties the system's update download cache and Temp folder. On success
 *removed_bytes is the space freed. Blocks (see Threads). */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_clean_system(tarnwick_client* client, uint64_t* removed_bytes);

/* The last error of this client, one line for a person (UTF-8); "" after a
   call that succeeded. Owned by the client: valid until the next call with
   this client or its destruction. Never NULL; "" for a NULL client. */
TARNWICK_API const char* TARNWICK_CALL tarnwick_last_error_message(const tarnwick_client* client);

/* The Windows error code behind the last error (launch failures, a declined
   prompt: 1223), else 0. */
TARNWICK_API uint32_t TARNWICK_CALL tarnwick_last_os_error(const tarnwick_client* client);

/* The helper's exit status in the last call on this client: 1 and
   *exit_status set (exit_status may be NULL) when the helper ran to its end,
   successful calls included (their status is 0); 0 when no helper ran to its
   end (not started, still running, a misused call, or a NULL client). */
TARNWICK_API int32_t TARNWICK_CALL tarnwick_last_exit_status(const tarnwick_client* client, uint32_t* exit_status);

/* Why the last tarnwick_client_create on the calling thread failed: one line
   for a person (UTF-8), e.g. that struct_size is not a size this DLL knows;
   "" after one that succeeded, or before any. *os_error (os_error may be
   NULL) is the Windows error code behind it, else 0. Per thread, owned by
   the DLL: valid on this thread until its next tarnwick_client_create. Never
   NULL. */
TARNWICK_API const char* TARNWICK_CALL tarnwick_last_create_error(uint32_t* os_error);

/* Lists the machine-wide Run entries. On success *list is set (an empty list
   when there are none); free it with tarnwick_startup_list_free. On error
   *list is NULL. Blocks (see Threads). */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_list_startup(tarnwick_client* client, tarnwick_startup_list** list);

/* The number of entries; 0 for a NULL list. */
TARNWICK_API size_t TARNWICK_CALL tarnwick_startup_list_count(const tarnwick_startup_list* list);

/* Entry index's name ("" for the key's default value), command and scope:
   NUL-terminated UTF-8, *length (length may be NULL) set to its length in
   bytes, which counts any U+0000 inside. The scope names the key that holds
   the entry: "hklm-run" (HKLM\Software\Microsoft\Windows\CurrentVersion\Run)
   for every entry today; a later version may list entries of other scopes,
   which an app that does not know them shows as they are or leaves out.
   Owned by the list: valid until it is freed. NULL (and *length 0) for a
   NULL list or an index not below the count. */
TARNWICK_API const char* TARNWICK_CALL tarnwick_startup_list_name(const tarnwick_startup_list* list, size_t index,
                                                                  size_t* length);
TARNWICK_API const char* TARNWICK_CALL tarnwick_startup_list_command(const tarnwick_startup_list* list, size_t index,
                                                                     size_t* length);
TARNWICK_API const char* TARNWICK_CALL tarnwick_startup_list_scope(const tarnwick_startup_list* list, size_t index,
                                                                   size_t* length);

/* Entry index's state: 1 enabled, 0 disabled; -1 for a NULL list or an index
   not below the count. */
TARNWICK_API int32_t TARNWICK_CALL tarnwick_startup_list_enabled(const tarnwick_startup_list* list, size_t index);

/* Frees a listing. NULL does nothing. */
TARNWICK_API void TARNWICK_CALL tarnwick_startup_list_free(tarnwick_startup_list* list);

/* The case rule for names: 1 when the two names (UTF-8, each its length in
   bytes) are equal ignoring case as the registry compares value names, else
   0. Case is folded one UTF-16 unit at a time through Unicode's simple
   uppercase mapping; text that is not UTF-8 is compared byte for byte. A
   NULL name counts as "" when its length is 0, else the answer is 0. */
TARNWICK_API int32_t TARNWICK_CALL tarnwick_same_startup_name(const char* a, size_t a_length, const char* b,
                                                              size_t b_length);

/* The listed entry for a name typed in any case: the entry with exactly that
   name, else the one equal to it ignoring case (tarnwick_same_startup_name).
   TARNWICK_OK and *index set; TARNWICK_NOT_FOUND when no entry has that name,
   or when two do ignoring case (possible only where Windows' case table and
   this DLL's disagree: then neither is taken); TARNWICK_INVALID_ARGUMENT for
   a NULL list or index, or a NULL name with a length. Pass the entry's own
   name (tarnwick_startup_list_name) to tarnwick_set_startup_enabled. */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_find_startup_entry(const tarnwick_startup_list* list,
                                                                       const char* name, size_t name_length,
                                                                       size_t* index);

/* For a name not found: the indexes of up to capacity listed names nearest
   to it (at most 2 edits ignoring case, or a third of its length when that
   is more; names longer than 256 UTF-16 units are not compared), nearest
   first, then in listing order. Returns how many were written to indexes. */
TARNWICK_API size_t TARNWICK_CALL tarnwick_nearest_startup_entries(const tarnwick_startup_list* list, const char* name,
                                                                   size_t name_length, size_t* indexes,
                                                                   size_t capacity);

/* The DLL's version as TARNWICK_MAKE_VERSION(MAJOR, MINOR, PATCH) makes it.
   An app that may meet an older DLL than its header (one that binds the
   functions by name at run time, as C#, Rust's libloading and Electron FFI
   do) checks tarnwick_version_number() >= TARNWICK_MAKE_VERSION(...) of the
   version that added a function before it calls it. Any thread, any time. */
TARNWICK_API uint32_t TARNWICK_CALL tarnwick_version_number(void);

/* A status's name, e.g. "TARNWICK_NOT_FOUND"; "TARNWICK_UNKNOWN" for a value
   this DLL does not know. Static: never freed. */
TARNWICK_API const char* TARNWICK_CALL tarnwick_status_name(tarnwick_status status);

/* The DLL's version as text, "MAJOR.MINOR.PATCH.BUILD" (as its file version
   resource says; BUILD counts the builds). Static: never freed. */
TARNWICK_API const char* TARNWICK_CALL tarnwick_version(void);

/* Runs that outlive their call. A call that returns TARNWICK_STILL_RUNNING
   leaves its helper running: it may still change things, and its answer is
   not read. Until that helper has exited, the client holds its process, its
   run folder and its response file open (the folder cannot be renamed or
   removed, the file not replaced), whatever the app does next: later calls,
   and tarnwick_client_destroy, which does not wait but hands them to a
   waiter thread of the DLL that closes them and removes the folder when the
   helper exits (the DLL stays loaded until then, even after FreeLibrary).
   The folder of a run whose client ended first (the app exited) is removed
   by a later client once nothing holds it.

   The helper is named by a full path (tarnwick_options.helper_path: "C:\..."
   or "\\server\share\..."); a relative one makes tarnwick_client_create
   return TARNWICK_INVALID_ARGUMENT, never a lookup through the current
   folder. A start with administrator rights also refuses (as
   TARNWICK_LAUNCH_FAILED) a network path and a drive letter that the user
   alone defined (subst, a mapped drive), and the exe is held open, shared
   for reading only, from its check until its process has started. */

/* The process id of this client's latest helper still running (one whose
   call returned TARNWICK_STILL_RUNNING and that has not exited yet), 0 when
   none is, or for a NULL client. Like a call: from the thread that uses the
   client. */
TARNWICK_API uint32_t TARNWICK_CALL tarnwick_running_helper_process_id(tarnwick_client* client);

/* timeout_ms for tarnwick_wait_for_helpers: wait until they exit or a cancel. */
#define TARNWICK_WAIT_WITHOUT_LIMIT 0xFFFFFFFFu

/* Waits up to timeout_ms milliseconds (0: does not wait) for every helper of
   this client still running, removing the folder of each that exits (their
   answers are not read: list again to see where things stand).
   TARNWICK_OK when none is still running; TARNWICK_STILL_RUNNING when one
   is at the limit or the wait was cancelled (tarnwick_cancel_wait); a NULL
   client is TARNWICK_INVALID_ARGUMENT. Blocks (see Threads). */
TARNWICK_API tarnwick_status TARNWICK_CALL tarnwick_wait_for_helpers(tarnwick_client* client, uint32_t timeout_ms);

/* Ends the waiting of the call in progress on this client
   (tarnwick_list_startup, tarnwick_list_startup_entries,
   tarnwick_set_startup_enabled, tarnwick_clean_system,
   tarnwick_wait_for_helpers) at once: it returns
   TARNWICK_STILL_RUNNING as if its time limit had passed. It may be called
   from any thread while the client exists (not during or after
   tarnwick_client_destroy), and returns at once.
   What it does not do: it does not stop the helper, which goes on and may
   still change things (an app without administrator rights cannot end a
   helper that has them); it does not close a consent prompt already shown
   (the call's wait ends as soon as the prompt is answered); and it does
   nothing to a call begun after it. NULL does nothing. */
TARNWICK_API void TARNWICK_CALL tarnwick_cancel_wait(tarnwick_client* client);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_CLIENT_H */

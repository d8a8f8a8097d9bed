#pragma once

// The strict reading of what the helper left behind: its exit status and the
// bytes of its response file. An answer is used only when the envelope is
// exactly one of the two shapes the helper writes, in its compact form, the
// data has the action's shape, and the exit status agrees with "status".
// Anything else is NoUsableResponse, with what was wrong.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/client_error.hpp"
#include "client/request.hpp"
#include "client/startup_entry.hpp"

namespace tarnwick::client {

// What reading an answer may cost the app, whatever the file holds.
//
// The size: the largest answer is a listing, one entry per Run value. A
// value's name has at most 16,383 UTF-16 units (the registry's limit) and a
// command that Windows can still start at most 32,767 (a command line's
// limit). Such an entry takes under 300 KiB of JSON when every unit is
// escaped ("\u0001", 6 bytes), under 150 KiB in ordinary text (at most 3
// bytes a unit). 16 MiB holds 56 entries of the first kind, over 110 of the
// second, or about 100,000 of the usual 150 bytes; a larger file is not read.
inline constexpr std::uint64_t kMaxResponseBytes = 16ull << 20;
// The nesting: the helper's answers nest three levels deep at most (the
// envelope, a listing's array, an entry's object); a deeper file is not read
// further, so nothing that walks it nests deeper.
inline constexpr std::size_t kMaxResponseDepth = 3;
// The memory: a first pass counts what the parsed form would take (each
// value's slot, each container, member and string as the JSON library and
// the standard library allocate them, rounded up) and reads no further when
// that passes this many bytes per byte of the file, plus kParsedSlackBytes.
// The helper's listings count at most 15 (entries of empty name and command),
// less the longer their texts; a file of many tiny values ("[[],[],...]",
// "[0,0,...]") counts over 20, and is refused before it is parsed. Measured,
// reading a listing takes under 13 times the file's size.
inline constexpr std::uint64_t kParsedBytesPerResponseByte = 16;
inline constexpr std::uint64_t kParsedSlackBytes = 64ull << 10;

struct HelperExit {
  std::uint32_t exit_status = 0;
  std::string response;  // the response file's bytes (empty: nothing written)
};

Outcome<std::vector<StartupEntry>> read_list_response(const HelperExit& exit);
// The answer must echo the requested name and state.
Outcome<Done> read_set_response(const HelperExit& exit, const SetStartupEnabled& request);
// The bytes removed.
Outcome<std::uint64_t> read_clean_response(const HelperExit& exit);

}  // namespace tarnwick::client

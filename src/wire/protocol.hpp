#pragma once

// The contract between the helper and the app's client, written once: every
// name, text and number both sides of the process boundary must spell the same
// way. Header-only and free of any JSON library; the helper's request reader,
// dispatcher and response encoder and the client's request writer and response
// reader all take their names from here.
//
// Request:  {"action":{"action":NAME}} or, for a set,
//           {"action":{"action":"startup-hklm-set","args":{"name":S,"enabled":B}}}
// Response: {"status":"ok","data":DATA} or {"status":"err","error":TEXT}

#include <array>
#include <string_view>

namespace tarnwick::wire {

// The actions, by their names in the request.
inline constexpr std::string_view kActionCleanSystem = "clean-system";
inline constexpr std::string_view kActionStartupHklmList = "startup-hklm-list";
inline constexpr std::string_view kActionStartupHklmSet = "startup-hklm-set";

// Members of the request.
inline constexpr std::string_view kMemberAction = "action";
inline constexpr std::string_view kMemberArgs = "args";

// Members of startup-hklm-set's "args", of a listed entry and of the set's
// answer; and of clean-system's answer.
inline constexpr std::string_view kMemberName = "name";
inline constexpr std::string_view kMemberEnabled = "enabled";
inline constexpr std::string_view kMemberCommand = "command";
inline constexpr std::string_view kMemberScope = "scope";
inline constexpr std::string_view kMemberRemovedBytes = "removed_bytes";

// The "scope" of an entry of the machine-wide Run key.
inline constexpr std::string_view kScopeHklmRun = "hklm-run";

// The response's envelope: "status" first, then "data" or "error".
inline constexpr std::string_view kMemberStatus = "status";
inline constexpr std::string_view kMemberData = "data";
inline constexpr std::string_view kMemberError = "error";
inline constexpr std::string_view kStatusOk = "ok";
inline constexpr std::string_view kStatusErr = "err";
// The compact envelope up to its value; the value and "}" follow.
inline constexpr std::string_view kOkEnvelopeStart = R"({"status":"ok","data":)";
inline constexpr std::string_view kErrEnvelopeStart = R"({"status":"err","error":)";

// Written in place of a response that cannot be encoded (text that is not
// UTF-8); the exit status still tells whether the action succeeded.
inline constexpr std::string_view kSerializeError = "serialize";
inline constexpr std::string_view kFallbackResponse = R"({"status":"err","error":"serialize"})";
static_assert(kFallbackResponse.starts_with(kErrEnvelopeStart) &&
              kFallbackResponse.substr(kErrEnvelopeStart.size() + 1, kSerializeError.size()) == kSerializeError);

// The texts an "error" starts with when the request was refused rather than
// its action failed: a payload that is not hex of UTF-8, a document that is
// not a request, a set for a name the Run key does not hold.
inline constexpr std::string_view kRefusalBadPayload = "bad request payload: ";
inline constexpr std::string_view kRefusalBadJson = "bad request json: ";
inline constexpr std::string_view kRefusalUnknownEntry = "unknown HKLM startup entry: ";
inline constexpr std::array<std::string_view, 3> kRefusalPrefixes = {kRefusalBadPayload, kRefusalBadJson,
                                                                     kRefusalUnknownEntry};

// The helper's exit statuses.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,     // the request failed to decode, or its action failed
  kExitUsage = 2,      // missing arguments, or an argument that is not text
  kExitInternal = 101  // a broken invariant; nothing written
};

}  // namespace tarnwick::wire

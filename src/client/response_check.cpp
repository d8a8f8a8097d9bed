#include "client/response_check.hpp"

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/utf.hpp"
#include "wire/protocol.hpp"

namespace tarnwick::client {
namespace {

using nlohmann::json;

constexpr std::uint32_t kExitOk = wire::kExitOk;
constexpr std::uint32_t kExitFailed = wire::kExitFailed;
constexpr std::uint32_t kExitUsage = wire::kExitUsage;
constexpr std::uint32_t kExitInternal = wire::kExitInternal;

Err<ClientError> unusable(const HelperExit& exit, std::string what) {
  return Err<ClientError>{ClientError{ErrorKind::NoUsableResponse, std::move(what), exit.exit_status, 0, 0}};
}

// A key or value from the file, quoted and escaped for a message, and cut
// short: the file is not trusted to be small or printable.
std::string json_quoted(std::string_view text) {
  constexpr std::size_t kShown = 64;
  std::string shown = json(std::string(text.substr(0, kShown))).dump(-1, ' ', false, json::error_handler_t::replace);
  if (text.size() > kShown) shown.insert(shown.size() - 1, "...");
  return shown;
}

enum class Kind { String, Boolean, Unsigned };

struct Member {
  std::string_view key;
  Kind kind;
};

bool has_kind(const json& value, Kind kind) {
  switch (kind) {
    case Kind::String:
      return value.is_string();
    case Kind::Boolean:
      return value.is_boolean();
    case Kind::Unsigned:
      return value.is_number_unsigned();
  }
  return false;
}

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::String:
      return "a string";
    case Kind::Boolean:
      return "a boolean";
    case Kind::Unsigned:
      return "an unsigned integer";
  }
  return "?";
}

// The first member whose key is not one of `keys`, for a message about `what`.
std::optional<std::string> extra_member(const json& object, std::span<const std::string_view> keys,
                                        std::string_view what) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const std::string_view k : keys) known = known || k == key;
    if (!known) return std::string(what) + " has an extra member " + json_quoted(key);
  }
  return std::nullopt;
}

// Exactly these members, each of its kind; otherwise what is wrong, about `what`.
std::optional<std::string> wrong_members(const json& object, std::span<const Member> members, std::string_view what) {
  if (!object.is_object()) return std::string(what) + " is not an object";
  std::vector<std::string_view> keys;
  for (const Member& member : members) {
    const auto found = object.find(member.key);
    if (found == object.end()) return std::string(what) + " has no " + json_quoted(member.key);
    if (!has_kind(*found, member.kind)) {
      return std::string(what) + ": " + json_quoted(member.key) + " is not " + kind_name(member.kind);
    }
    keys.push_back(member.key);
  }
  return extra_member(object, keys, what);
}

// The text the helper writes for this envelope; any other byte sequence
// (blanks, member order, escapes, duplicate members) is not its answer.
std::string compact_form(std::string_view envelope_start, const json& value) {
  return std::string(envelope_start) + value.dump() + "}";
}

struct OkData {
  json data;
};

// The first pass over the text (see kParsedBytesPerResponseByte): the depth
// and what the parsed form would take, counted as each value is seen; it
// stops at the first limit passed or syntax error, and keeps nothing but the
// counts.
class BoundedShape {
 public:
  explicit BoundedShape(std::uint64_t budget) : budget_(budget) {}

  enum class End { Parsed, TooDeep, TooCostly, SyntaxError };
  End end() const { return end_; }
  std::size_t error_byte() const { return error_byte_; }

  bool null() { return value(0); }
  bool boolean(bool /*unused*/) { return value(0); }
  bool number_integer(json::number_integer_t /*unused*/) { return value(0); }
  bool number_unsigned(json::number_unsigned_t /*unused*/) { return value(0); }
  bool number_float(json::number_float_t /*unused*/, const json::string_t& /*unused*/) { return value(0); }
  bool string(json::string_t& text) { return value(kString + heap_text(text.size())); }
  bool binary(json::binary_t& /*unused*/) { return value(kString); }
  bool start_object(std::size_t /*unused*/) { return open(kObject); }
  bool key(json::string_t& text) { return spend(kMember + heap_text(text.size())); }
  bool end_object() { return close(); }
  bool start_array(std::size_t /*unused*/) { return open(kArray); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t byte, const std::string& /*unused*/, const nlohmann::detail::exception& /*unused*/) {
    end_ = End::SyntaxError;
    error_byte_ = byte;
    return false;
  }

 private:
  // Bytes, with the allocator's own overhead, on a 64-bit target. A value's
  // 16-byte slot is counted three times: while an array's storage grows, the
  // old storage and the new one, twice as large, are both held.
  static constexpr std::uint64_t kSlot = 48;
  static constexpr std::uint64_t kString = 48;    // the string object, allocated apart
  static constexpr std::uint64_t kArray = 48;     // the vector object, allocated apart
  static constexpr std::uint64_t kObject = 64;    // the map object, allocated apart
  static constexpr std::uint64_t kMember = 96;    // a map node with its key
  static constexpr std::size_t kInlineText = 15;  // shorter text lives inside the string object

  static std::uint64_t heap_text(std::size_t length) { return length > kInlineText ? length + 1 + 16 : 0; }

  bool spend(std::uint64_t bytes) {
    if (bytes > budget_) {
      end_ = End::TooCostly;
      return false;
    }
    budget_ -= bytes;
    return true;
  }
  bool value(std::uint64_t extra) { return spend(kSlot + extra); }
  bool open(std::uint64_t container) {
    if (++depth_ > kMaxResponseDepth) {
      end_ = End::TooDeep;
      return false;
    }
    return value(container);
  }
  bool close() {
    --depth_;
    return true;
  }

  std::uint64_t budget_;
  std::size_t depth_ = 0;
  End end_ = End::Parsed;
  std::size_t error_byte_ = 0;
};

// The text parsed, within the limits of response_check.hpp; otherwise what
// is wrong with it.
Outcome<json> parse_within_limits(const HelperExit& exit) {
  const std::string& text = exit.response;
  BoundedShape shape(kParsedSlackBytes + kParsedBytesPerResponseByte * text.size());
  const bool parsed = json::sax_parse(text, &shape);
  switch (shape.end()) {
    case BoundedShape::End::TooDeep:
      return unusable(exit, "the response nests deeper than the helper's answers (more than " +
                                std::to_string(kMaxResponseDepth) + " levels)");
    case BoundedShape::End::TooCostly:
      return unusable(exit,
                      "the response holds too many small values to be the helper's answer (reading it would "
                      "take more than " +
                          std::to_string(kParsedBytesPerResponseByte) + " bytes of memory per byte)");
    case BoundedShape::End::SyntaxError:
      // The reader counts bytes from 1; one past the end means the text ran out.
      if (shape.error_byte() > text.size()) return unusable(exit, "the response ends early (incomplete JSON)");
      return unusable(
          exit, "the response is not well-formed JSON (stopped at byte " + std::to_string(shape.error_byte()) + ")");
    case BoundedShape::End::Parsed:
      break;
  }
  if (!parsed) return unusable(exit, "the response is not well-formed JSON");
  try {
    return json::parse(text);
  } catch (const json::parse_error&) {
    return unusable(exit, "the response is not well-formed JSON");  // the first pass read it whole
  }
}

// The envelope and exit status. A successful run gives its data (its shape and
// compact form still to be checked); every other end is an error.
Outcome<OkData> read_envelope(const HelperExit& exit) {
  if (exit.exit_status == kExitInternal) {
    return Err<ClientError>{ClientError{ErrorKind::InternalError, "", exit.exit_status, 0, 0}};
  }
  if (exit.exit_status == kExitUsage) return unusable(exit, "the helper did not accept its command line");
  if (exit.exit_status != kExitOk && exit.exit_status != kExitFailed) {
    return unusable(exit, "the exit status is not one the helper ends with");
  }
  const std::string& text = exit.response;
  if (text.empty()) return unusable(exit, "the response file is empty");
  if (text.size() > kMaxResponseBytes) return unusable(exit, "the response file is too large");
  if (!utf8_to_utf16(text)) return unusable(exit, "the response is not valid UTF-8");

  auto parsed = parse_within_limits(exit);
  if (!parsed) return Err{std::move(parsed).error()};
  json envelope = std::move(parsed).value();
  if (!envelope.is_object()) return unusable(exit, "the response is not a JSON object");
  const auto status = envelope.find(wire::kMemberStatus);
  if (status == envelope.end()) return unusable(exit, "the response has no \"status\"");
  if (!status->is_string()) return unusable(exit, "\"status\" is not a string");
  const std::string status_text = status->get<std::string>();

  if (status_text == wire::kStatusOk) {
    // "data" may hold anything here; each action checks its shape.
    static constexpr std::string_view kKeys[] = {wire::kMemberStatus, wire::kMemberData};
    if (!envelope.contains(wire::kMemberData)) return unusable(exit, "an \"ok\" response has no \"data\"");
    if (auto extra = extra_member(envelope, kKeys, "the response")) return unusable(exit, std::move(*extra));
    if (exit.exit_status != kExitOk) {
      return unusable(exit, "the response says \"ok\" but the exit status is " + std::to_string(exit.exit_status));
    }
    return OkData{std::move(envelope[wire::kMemberData])};
  }
  if (status_text == wire::kStatusErr) {
    if (exit.exit_status == kExitOk && text == wire::kFallbackResponse) {
      return unusable(exit, "the action succeeded but the helper could not encode its answer (\"serialize\")");
    }
    static constexpr Member kShape[] = {{wire::kMemberStatus, Kind::String}, {wire::kMemberError, Kind::String}};
    if (auto wrong = wrong_members(envelope, kShape, "the response")) return unusable(exit, std::move(*wrong));
    if (exit.exit_status != kExitFailed) {
      return unusable(exit, "the response says \"err\" but the exit status is " + std::to_string(exit.exit_status));
    }
    std::string message = envelope[wire::kMemberError].get<std::string>();
    if (compact_form(wire::kErrEnvelopeStart, json(message)) != text) {
      return unusable(exit, "the response is not in the helper's compact form");
    }
    ErrorKind kind = ErrorKind::ActionFailed;
    for (const std::string_view prefix : wire::kRefusalPrefixes) {
      if (std::string_view(message).starts_with(prefix)) kind = ErrorKind::Refused;
    }
    // A name the Run key does not hold is its own kind.
    if (std::string_view(message).starts_with(wire::kRefusalUnknownEntry)) kind = ErrorKind::NotFound;
    return Err<ClientError>{ClientError{kind, std::move(message), exit.exit_status, 0, 0}};
  }
  return unusable(exit, "\"status\" is " + json_quoted(status_text) + ", neither \"ok\" nor \"err\"");
}

// Called once the data's shape is known good (so its depth is small).
std::optional<std::string> not_compact(const HelperExit& exit, const json& data) {
  if (compact_form(wire::kOkEnvelopeStart, data) != exit.response)
    return "the response is not in the helper's compact form";
  return std::nullopt;
}

}  // namespace

Outcome<std::vector<StartupEntry>> read_list_response(const HelperExit& exit) {
  auto ok = read_envelope(exit);
  if (!ok) return Err{std::move(ok).error()};
  const json& data = ok.value().data;
  if (!data.is_array()) return unusable(exit, "\"data\" is not an array");
  static constexpr Member kEntry[] = {{wire::kMemberCommand, Kind::String},
                                      {wire::kMemberEnabled, Kind::Boolean},
                                      {wire::kMemberName, Kind::String},
                                      {wire::kMemberScope, Kind::String}};
  // Not reserved for data.size(): that many entries would take several times
  // what the file's tiny values took ("[0,0,...]").
  std::vector<StartupEntry> entries;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const json& item = data[i];
    const std::string what = "entry " + std::to_string(i);
    if (auto wrong = wrong_members(item, kEntry, what)) return unusable(exit, std::move(*wrong));
    const auto& scope = item[wire::kMemberScope].get_ref<const std::string&>();
    if (scope != wire::kScopeHklmRun)
      return unusable(exit,
                      what + ": \"scope\" is " + json_quoted(scope) + ", not " + json_quoted(wire::kScopeHklmRun));
    entries.push_back({item[wire::kMemberName].get<std::string>(), item[wire::kMemberCommand].get<std::string>(),
                       item[wire::kMemberEnabled].get<bool>()});
  }
  if (auto wrong = not_compact(exit, data)) return unusable(exit, std::move(*wrong));
  return entries;
}

Outcome<Done> read_set_response(const HelperExit& exit, const SetStartupEnabled& request) {
  auto ok = read_envelope(exit);
  if (!ok) return Err{std::move(ok).error()};
  const json& data = ok.value().data;
  static constexpr Member kEcho[] = {{wire::kMemberEnabled, Kind::Boolean}, {wire::kMemberName, Kind::String}};
  if (auto wrong = wrong_members(data, kEcho, "\"data\"")) return unusable(exit, std::move(*wrong));
  if (data[wire::kMemberName].get_ref<const std::string&>() != request.name) {
    return unusable(exit, "the answer names " + json_quoted(data[wire::kMemberName].get_ref<const std::string&>()) +
                              ", not the requested entry");
  }
  if (data[wire::kMemberEnabled].get<bool>() != request.enabled) {
    return unusable(exit, std::string("the answer says \"enabled\" is ") + (request.enabled ? "false" : "true") +
                              ", not as requested");
  }
  if (auto wrong = not_compact(exit, data)) return unusable(exit, std::move(*wrong));
  return Done{};
}

Outcome<std::uint64_t> read_clean_response(const HelperExit& exit) {
  auto ok = read_envelope(exit);
  if (!ok) return Err{std::move(ok).error()};
  const json& data = ok.value().data;
  static constexpr Member kRemoved[] = {{wire::kMemberRemovedBytes, Kind::Unsigned}};
  if (auto wrong = wrong_members(data, kRemoved, "\"data\"")) return unusable(exit, std::move(*wrong));
  if (auto wrong = not_compact(exit, data)) return unusable(exit, std::move(*wrong));
  return data[wire::kMemberRemovedBytes].get<std::uint64_t>();
}

}  // namespace tarnwick::client

// libFuzzer target for the registry data the startup listing reads: a Run
// value of any type with any bytes, and its StartupApproved value (absent or
// any bytes). Input layout: byte 0 the value type (0 to 15; 12 and above have
// no text form), byte 1 the StartupApproved length (255: no value), then that
// many StartupApproved bytes, then the Run value's data. Checked besides the
// sanitizers:
// - a type above REG_QWORD has no text; every other type has one, and it is
//   valid UTF-8: strings keep their units (unpaired surrogates as U+FFFD,
//   trailing U+0000 gone, REG_MULTI_SZ separators as line feeds), numbers of
//   their exact length read back as the same number, everything else lists
//   every byte;
// - the listing shows the entry with that text, enabled exactly when the
//   StartupApproved value is absent, empty, or its first byte has the lowest
//   bit clear; writing the other state and listing again shows that state;
// - the listing encodes through the response writer and reads back the same.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf.hpp"
#include "elevate/dispatch/action_data.hpp"
#include "elevate/response/encode_response.hpp"
#include "startup/registry_value_text.hpp"
#include "startup/startup_entries.hpp"
#include "support/fuzz_check.hpp"
#include "support/memory_registry.hpp"

namespace {

using tarnwick::Bytes;
using tarnwick::fuzz::require;

constexpr const char* kTarget = "registry-value-text-fuzz";

void check(bool condition, const char* what) { require(condition, kTarget, what); }

// What a string value's text must convert back to: its units up to the last
// non-zero one, each unpaired surrogate replaced by U+FFFD.
std::u16string expected_units(std::span<const std::uint8_t> data, bool multi) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  while (!units.empty() && units.back() == u'\0') units.pop_back();
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      units[i] = 0xFFFD;
    } else if (multi && units[i] == u'\0') {
      units[i] = u'\n';
    }
  }
  return units;
}

std::uint64_t little_endian(std::span<const std::uint8_t> data) {
  std::uint64_t value = 0;
  for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

// "[b0, b1, ...]" read back, or nullopt when the text is not such a list.
std::optional<Bytes> byte_list(std::string_view text) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  Bytes bytes;
  std::string_view rest = text.substr(1, text.size() - 2);
  while (!rest.empty()) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || value > 255) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(value));
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (rest.empty()) break;
    if (rest.substr(0, 2) != ", " || rest.size() == 2) return std::nullopt;
    rest.remove_prefix(2);
  }
  return bytes;
}

void check_text(std::uint32_t type, std::span<const std::uint8_t> data, const std::optional<std::string>& text) {
  check(text.has_value() == (type <= tarnwick::kRegQword), "a text exactly for the types up to REG_QWORD");
  if (!text) return;
  check(tarnwick::fuzz::valid_utf8(*text), "text is valid UTF-8");
  const bool exact_number =
      (type == tarnwick::kRegDword && data.size() == 4) || (type == tarnwick::kRegQword && data.size() == 8);
  if (type == tarnwick::kRegSz || type == tarnwick::kRegExpandSz || type == tarnwick::kRegMultiSz) {
    const bool multi = type == tarnwick::kRegMultiSz;
    check(tarnwick::utf8_to_utf16(*text) == expected_units(data, multi), "string text keeps the units");
    check(!multi || text->find('\0') == std::string::npos, "multi-string text has no U+0000 left");
  } else if (exact_number) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    check(error == std::errc() && end == text->data() + text->size(), "number text is a decimal number");
    check(value == little_endian(data) && std::to_string(value) == *text, "number text is the little-endian value");
  } else {
    check(byte_list(*text) == Bytes(data.begin(), data.end()), "byte list shows every byte");
  }
}

bool enabled_by(const std::optional<Bytes>& approved) {
  return !approved || approved->empty() || ((*approved)[0] & 1) == 0;
}

// The listing as the helper would answer it, read back by a JSON reader.
nlohmann::json listed_document(const std::vector<tarnwick::StartupEntry>& entries) {
  const auto encoded = tarnwick::encode_response(tarnwick::ActionResult::data(tarnwick::startup_list_data(entries)));
  check(encoded.ok(), "listing encodes");
  check(tarnwick::fuzz::compact_json(encoded.value()), "listing response is compact");
  const auto response = tarnwick::fuzz::read_response(encoded.value());
  check(!response.is_discarded() && response["status"] == "ok", "listing response reads back");
  return response["data"];
}

void check_listing(const std::string& text, const std::optional<Bytes>& approved) {
  tarnwick::test::MemoryRegistry registry;
  registry.run.emplace_back("Tool", text);
  if (approved) registry.approved["Tool"] = *approved;

  const auto entries = tarnwick::list_startup_entries(registry, tarnwick::StartupScope::HklmRun);
  check(entries.ok() && entries.value().size() == 1, "one entry listed");
  const tarnwick::StartupEntry& entry = entries.value()[0];
  check(entry.name == "Tool" && entry.command == text, "entry shows the value's text");
  check(entry.enabled == enabled_by(approved), "state follows the StartupApproved value");

  const nlohmann::json document = listed_document(entries.value());
  const nlohmann::json expected =
      nlohmann::json::array({{{"command", text}, {"enabled", entry.enabled}, {"name", "Tool"}, {"scope", "hklm-run"}}});
  check(document == expected, "listing reads back as the same entry");

  check(tarnwick::set_startup_enabled(registry, "Tool", !entry.enabled).ok(), "state written");
  const auto again = tarnwick::list_startup_entries(registry, tarnwick::StartupScope::HklmRun);
  check(again.ok() && again.value().size() == 1 && again.value()[0].enabled == !entry.enabled,
        "the written state lists back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t type = data[0] & 0x0F;
  std::span<const std::uint8_t> rest(data + 2, size - 2);
  std::optional<Bytes> approved;
  if (data[1] != 0xFF) {
    const std::size_t length = std::min<std::size_t>(data[1], rest.size());
    approved = Bytes(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(length));
    rest = rest.subspan(length);
  }
  const auto text = tarnwick::registry_value_text(type, rest);
  check_text(type, rest, text);
  if (text) check_listing(*text, approved);
  return 0;
}

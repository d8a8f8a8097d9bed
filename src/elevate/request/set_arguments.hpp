#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "elevate/request/json/found_value.hpp"
#include "elevate/request/json/type_refusal.hpp"
#include "elevate/request/request.hpp"

namespace tarnwick {

// The rule for each argument field of "startup-hklm-set": its key, the type
// it takes, where its value goes; and the arguments assembled member by
// member, each field once, none missing. Both ways of reading the arguments
// (as they come after the tag, and kept until the tag comes) go through it.
class SetArguments {
 public:
  struct Field {
    std::string_view key;
    json::Expected expected;
    void (*store)(StartupHklmSet& out, json::FoundValue&& value);
  };

  // The field a member key names; nullptr for a member the arguments ignore.
  static const Field* field_named(std::string_view key);

  bool has(const Field& field) const { return assigned_[index_of(field)]; }

  // Assigns the value, or refuses it: a field that came before, then a value
  // of the wrong type.
  std::optional<std::string> assign(const Field& field, json::FoundValue&& value);

  // The refusal for the first field in key order that never came.
  std::optional<std::string> missing() const;

  StartupHklmSet take() { return std::move(value_); }

 private:
  static std::size_t index_of(const Field& field);

  StartupHklmSet value_;
  std::array<bool, 2> assigned_{};
};

std::string duplicate_field(std::string_view key);
std::string missing_field(std::string_view key);

}  // namespace tarnwick

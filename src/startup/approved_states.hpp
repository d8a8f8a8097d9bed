#pragma once

// The StartupApproved key's values, read in one enumeration and found by
// name the way the registry finds a value: without regard to case, each
// UTF-16 unit upcased as the system upcases it. The upcase is given: the
// system's on Windows, a portable one in the host tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick {

using Bytes = std::vector<std::uint8_t>;

// One UTF-16 unit upcased; a unit with no upper case is itself.
using UnitUpcase = char16_t (*)(char16_t);

// Upcases a-z only: the portable stand-in for the system's table.
char16_t ascii_upcase(char16_t unit);

class ApprovedStates {
 public:
  explicit ApprovedStates(UnitUpcase upcase) : upcase_(upcase) {}

  // A value as enumerated; a second one with the same name, case aside
  // (which the registry does not hold), leaves the first in place.
  void add(std::u16string_view name, Bytes data);
  // The data of the value named `name` (UTF-8), or null when there is none.
  // A name holding U+0000 finds nothing: the system's own readers take a
  // name as NUL-terminated, so its state could not be the one they see.
  const Bytes* find(std::string_view name) const;
  std::size_t size() const { return values_.size(); }

 private:
  std::u16string key(std::u16string_view name) const;

  UnitUpcase upcase_;
  std::unordered_map<std::u16string, Bytes> values_;
};

}  // namespace tarnwick

#include "client/entry_lookup.hpp"

#include <algorithm>
#include <optional>

#include "client/case_table.hpp"
#include "common/utf.hpp"

namespace tarnwick::client {
namespace {

constexpr std::size_t kLongestCompared = 256;

std::optional<std::u16string> upper_units(std::string_view text) {
  auto units = utf8_to_utf16(text);
  if (units) {
    for (char16_t& unit : *units) unit = upper_unit(unit);
  }
  return units;
}

// Levenshtein distance, two rows: memory grows with `b`, time with both.
std::size_t edit_distance(std::u16string_view a, std::u16string_view b) {
  std::vector<std::size_t> previous(b.size() + 1);
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t replace = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, replace});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

}  // namespace

bool same_name_ignoring_case(std::string_view a, std::string_view b) {
  const auto upper_a = upper_units(a);
  const auto upper_b = upper_units(b);
  if (!upper_a || !upper_b) return a == b;
  return *upper_a == *upper_b;
}

const StartupEntry* find_entry(const std::vector<StartupEntry>& entries, std::string_view name) {
  for (const StartupEntry& entry : entries) {
    if (entry.name == name) return &entry;
  }
  const StartupEntry* found = nullptr;
  for (const StartupEntry& entry : entries) {
    if (!same_name_ignoring_case(entry.name, name)) continue;
    if (found != nullptr) return nullptr;  // two names that differ in case alone: neither is taken
    found = &entry;
  }
  return found;
}

std::vector<std::size_t> nearest_indexes(const std::vector<StartupEntry>& entries, std::string_view name,
                                         std::size_t at_most) {
  const auto wanted = upper_units(name);
  if (!wanted || wanted->size() > kLongestCompared) return {};
  const std::size_t limit = std::max<std::size_t>(2, wanted->size() / 3);
  struct Near {
    std::size_t distance;
    std::size_t index;
  };
  std::vector<Near> near;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto listed = upper_units(entries[i].name);
    if (!listed || listed->size() > kLongestCompared) continue;
    const std::size_t length_gap =
        listed->size() > wanted->size() ? listed->size() - wanted->size() : wanted->size() - listed->size();
    if (length_gap > limit) continue;
    const std::size_t distance = edit_distance(*listed, *wanted);
    if (distance <= limit) near.push_back({distance, i});
  }
  std::stable_sort(near.begin(), near.end(), [](const Near& a, const Near& b) { return a.distance < b.distance; });
  std::vector<std::size_t> indexes;
  for (std::size_t i = 0; i < near.size() && i < at_most; ++i) indexes.push_back(near[i].index);
  return indexes;
}

std::vector<std::string> nearest_names(const std::vector<StartupEntry>& entries, std::string_view name,
                                       std::size_t at_most) {
  std::vector<std::string> names;
  for (const std::size_t index : nearest_indexes(entries, name, at_most)) names.push_back(entries[index].name);
  return names;
}

}  // namespace tarnwick::client

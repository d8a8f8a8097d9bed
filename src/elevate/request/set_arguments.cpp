#include "elevate/request/set_arguments.hpp"

#include <iterator>
#include <utility>

#include "wire/protocol.hpp"

namespace tarnwick {
namespace {

using json::FoundValue;
using Kind = json::FoundValue::Kind;

// In the order their absence is refused.
constexpr SetArguments::Field kFields[] = {
    {wire::kMemberName,
     {"a string", json::kinds_of(Kind::String), json::WrongContainer::Unread},
     [](StartupHklmSet& out, FoundValue&& value) { out.name = std::move(value.text); }},
    {wire::kMemberEnabled,
     {"a boolean", json::kinds_of(Kind::Boolean), json::WrongContainer::Unread},
     [](StartupHklmSet& out, FoundValue&& value) { out.enabled = value.boolean; }},
};

}  // namespace

std::string duplicate_field(std::string_view key) { return "duplicate field `" + std::string(key) + "`"; }
std::string missing_field(std::string_view key) { return "missing field `" + std::string(key) + "`"; }

const SetArguments::Field* SetArguments::field_named(std::string_view key) {
  for (const Field& field : kFields) {
    if (field.key == key) return &field;
  }
  return nullptr;
}

std::size_t SetArguments::index_of(const Field& field) {
  static_assert(std::size(kFields) == std::tuple_size_v<decltype(assigned_)>);
  return static_cast<std::size_t>(&field - kFields);
}

std::optional<std::string> SetArguments::assign(const Field& field, FoundValue&& value) {
  if (has(field)) return duplicate_field(field.key);
  if (auto refusal = json::type_refusal(value, field.expected)) return refusal;
  field.store(value_, std::move(value));
  assigned_[index_of(field)] = true;
  return std::nullopt;
}

std::optional<std::string> SetArguments::missing() const {
  for (const Field& field : kFields) {
    if (!has(field)) return missing_field(field.key);
  }
  return std::nullopt;
}

}  // namespace tarnwick

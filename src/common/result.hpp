#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "common/invariant.hpp"

namespace tarnwick {

// Tag that carries an error value into a Result.
template <class E>
struct Err {
  E value;
};
template <class E>
Err(E) -> Err<E>;

inline Err<std::string> error_text(std::string text) { return Err<std::string>{std::move(text)}; }

// A value or an error, as every operation of the helper returns it.
// Errors are plain values, never exceptions. Asking for the side that is not
// there (value() of an error, error() of a value) is a programming error and
// is caught in every build mode alike, NDEBUG or not: it breaks an invariant
// (invariant_broken, which throws InvariantBroken; the helper ends with status
// 101). Test with ok() or operator bool first.
template <class T, class E = std::string>
class [[nodiscard]] Result {
 public:
  // Implicit by design: `return value;` and `return Err{...};` build the result.
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT(google-explicit-constructor)
  template <class U, std::enable_if_t<std::is_constructible_v<E, U&&>, int> = 0>
  Result(Err<U> error)  // NOLINT(google-explicit-constructor)
      : state_(std::in_place_index<1>, std::move(error.value)) {}

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & {
    if (!ok()) invariant_broken("value() of a Result that holds an error");
    return *std::get_if<0>(&state_);
  }
  const T& value() const& {
    if (!ok()) invariant_broken("value() of a Result that holds an error");
    return *std::get_if<0>(&state_);
  }
  T&& value() && {
    if (!ok()) invariant_broken("value() of a Result that holds an error");
    return std::move(*std::get_if<0>(&state_));
  }
  const E& error() const& {
    if (ok()) invariant_broken("error() of a Result that holds a value");
    return *std::get_if<1>(&state_);
  }
  E&& error() && {
    if (ok()) invariant_broken("error() of a Result that holds a value");
    return std::move(*std::get_if<1>(&state_));
  }

 private:
  std::variant<T, E> state_;
};

// Success without a value.
struct Done {};

}  // namespace tarnwick

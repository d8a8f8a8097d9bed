#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

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
// Errors are plain values: nothing here throws.
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
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(state_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(state_));
  }
  const E& error() const& {
    assert(!ok());
    return std::get<1>(state_);
  }
  E&& error() && {
    assert(!ok());
    return std::get<1>(std::move(state_));
  }

 private:
  std::variant<T, E> state_;
};

// Success without a value.
struct Done {};

}  // namespace tarnwick

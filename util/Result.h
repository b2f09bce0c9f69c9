#pragma once

// A value or the reason there is none. Failures cross folder boundaries as Result values,
// never as exceptions, lastError() texts, out-parameters or sentinel values.
//
//   util::Result<Bytes> r = readWholeFile(path);
//   if (!r) return util::fail(r.error());
//   use(*r);

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace brevanto::util {

// The error half of a Result, so `return fail(e);` converts to any Result<T, E>.
template <class E>
struct Failure {
  E error;
};

template <class E>
Failure<std::decay_t<E>> fail(E&& error) {
  return {std::forward<E>(error)};
}
inline Failure<std::string> fail(const char* error) { return {std::string(error)}; }

template <class T, class E = std::string>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class F>
  Result(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const E& error() const { return std::get<1>(state_); }
  E& error() { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  template <class F>
  Result(Failure<F> failure) : error_(E(std::move(failure.error))) {}

  bool ok() const { return !error_; }
  explicit operator bool() const { return ok(); }
  const E& error() const { return *error_; }
  E& error() { return *error_; }

 private:
  std::optional<E> error_;
};

}  // namespace brevanto::util

#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace quillory {

// The error half of a Result, so that `return Failure(code);` reads plainly.
template <typename E>
struct Failure {
    explicit Failure(E value) : error(std::move(value)) {}
    E error;
};
template <typename E>
Failure(E) -> Failure<E>;

// A value or the error that kept it from being made, for errors that cross a module or a
// thread; exceptions stay inside the module that throws them. A small stand-in for C++23's
// std::expected.
template <typename T, typename E>
class [[nodiscard]] Result {
  public:
    template <typename U = T>
    requires std::is_constructible_v<T, U&&> Result(U&& value)
        : state_(std::in_place_index<0>, std::forward<U>(value)) {}
    template <typename G>
    requires std::is_constructible_v<E, G&&> Result(Failure<G> failure)
        : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    // Only when !ok().
    const E& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

// Success without a value, or the error. E need not be default-constructible.
template <typename E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    template <typename G>
    requires std::is_constructible_v<E, G&&> Result(Failure<G> failure)
        : error_(std::in_place, std::move(failure.error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    // Only when !ok().
    const E& error() const { return *error_; }

  private:
    std::optional<E> error_;
};

}  // namespace quillory

#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>

namespace quillory {

// Pretty-printed text, one member per line; nlohmann::json keeps object keys sorted. Absent when a
// number anywhere is infinite or not a number: JSON cannot hold one and writing null would change
// its meaning. Text that is not valid UTF-8 is written with U+FFFD in its place.
std::optional<std::string> prettyJsonText(const nlohmann::json& json);

bool hasOnlyFiniteNumbers(const nlohmann::json& json);

// The value of a member as T, absent when it has another JSON type or does not fit.
template <class T>
std::optional<T> jsonAs(const nlohmann::json& json) {
    if constexpr (std::is_same_v<T, bool>) {
        return json.is_boolean() ? std::optional<T>(json.get<bool>()) : std::nullopt;
    } else if constexpr (std::is_integral_v<T>) {
        if (json.is_number_unsigned()) {
            const auto value = json.get<std::uint64_t>();
            if (value <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
                return static_cast<T>(value);
            }
        } else if constexpr (std::is_signed_v<T>) {
            if (json.is_number_integer()) {
                const auto value = json.get<std::int64_t>();
                if (value >= std::int64_t{std::numeric_limits<T>::min()} &&
                    value <= std::int64_t{std::numeric_limits<T>::max()}) {
                    return static_cast<T>(value);
                }
            }
        }
        return std::nullopt;
    } else if constexpr (std::is_same_v<T, double>) {
        return json.is_number() ? std::optional<T>(json.get<double>()) : std::nullopt;
    } else {
        static_assert(std::is_same_v<T, std::string>);
        return json.is_string() ? std::optional<T>(json.get<std::string>()) : std::nullopt;
    }
}

}  // namespace quillory

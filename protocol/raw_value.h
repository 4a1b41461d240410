#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quillory {

// Enumerations that travel or are stored carry fixed texts. Each such enumeration specialises
// RawValues with its texts in case order; the functions below then give the text of a case, the
// case of a text (exact match) and every case in order.
//
//   template <> struct RawValues<StudioPreset> {
//       static constexpr std::array<std::string_view, 3> names{"quality", "balanced", ...};
//   };
template <class E>
struct RawValues;

template <class E>
constexpr std::string_view rawValue(E value) {
    return RawValues<E>::names[static_cast<std::size_t>(value)];
}

template <class E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
    const auto& names = RawValues<E>::names;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (names[index] == text) {
            return static_cast<E>(index);
        }
    }
    return std::nullopt;
}

template <class E>
constexpr auto allCases() {
    constexpr std::size_t count = RawValues<E>::names.size();
    std::array<E, count> cases{};
    for (std::size_t index = 0; index < count; ++index) {
        cases[index] = static_cast<E>(index);
    }
    return cases;
}

}  // namespace quillory

#include "media/shortest_decimal.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace quillory {

std::string shortestDecimal(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::scientific);
    const std::string_view scientific(buffer.data(), error == std::errc() ? end : buffer.data());
    const std::size_t e = scientific.find('e');
    if (!std::isfinite(value) || e == std::string_view::npos) {
        return std::string(scientific);
    }
    int exponent = 0;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);
    // Beyond 2^54 a whole number would show digits the double does not hold.
    if (exponent < -4 || std::fabs(value) > 0x1.0p54) {
        return std::string(scientific);
    }
    const bool negative = scientific.front() == '-';
    std::string digits;
    for (const char c : scientific.substr(0, e)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    std::string text = negative ? "-" : "";
    if (exponent < 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
        return text;
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        text += digits;
        text.append(whole - digits.size(), '0');
        text += ".0";
    } else {
        text += digits.substr(0, whole) + "." + digits.substr(whole);
    }
    return text;
}

}  // namespace quillory

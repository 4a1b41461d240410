#include "media/shortest_decimal.h"

#include <array>
#include <charconv>

namespace quillory {

std::string shortestDecimal(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), error == std::errc() ? end : buffer.data());
    if (text.find_first_of(".eaniE") == std::string::npos) {
        text += ".0";
    }
    return text;
}

}  // namespace quillory

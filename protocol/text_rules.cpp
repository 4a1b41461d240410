#include "protocol/text_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace quillory {
namespace {

// General category Cf (Unicode 15), as closed ranges.
constexpr std::array<std::pair<char32_t, char32_t>, 21> formatRanges{{
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
}};

struct Decoded {
    char32_t scalar;
    std::size_t length;
};

// One scalar value at the start of the text, or nothing when the bytes are not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF included).
std::optional<Decoded> decodeScalar(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t index) { return static_cast<std::uint8_t>(text[index]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return Decoded{lead, 1};
    }
    std::size_t length = 0;
    char32_t scalar = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, scalar = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, scalar = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, scalar = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t index = 1; index < length; ++index) {
        if ((byte(index) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        scalar = scalar << 6 | (byte(index) & 0x3F);
    }
    if (scalar < minimum || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{scalar, length};
}

}  // namespace

bool isControlCharacter(char32_t scalar) {
    if (scalar < 0x20 || (scalar >= 0x7F && scalar <= 0x9F)) {
        return true;
    }
    if (scalar < 0xAD) {
        return false;
    }
    return std::any_of(formatRanges.begin(), formatRanges.end(), [&](const auto& range) {
        return scalar >= range.first && scalar <= range.second;
    });
}

std::size_t utf8SequenceLength(std::string_view text) {
    const auto decoded = decodeScalar(text);
    return decoded ? decoded->length : 0;
}

bool isCleanText(std::string_view text) {
    while (!text.empty()) {
        const auto decoded = decodeScalar(text);
        if (!decoded || isControlCharacter(decoded->scalar)) {
            return false;
        }
        text.remove_prefix(decoded->length);
    }
    return true;
}

bool isValidText(std::string_view text, std::size_t minBytes, std::size_t maxBytes) {
    return text.size() >= minBytes && text.size() <= maxBytes && isCleanText(text);
}

std::string_view truncatedUTF8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the character that would be cut.
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

std::string replacingControlCharacters(std::string_view text, std::string_view replacement) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const auto decoded = decodeScalar(text);
        if (!decoded) {
            text.remove_prefix(1);
            continue;
        }
        if (isControlCharacter(decoded->scalar)) {
            result.append(replacement);
        } else {
            result.append(text.substr(0, decoded->length));
        }
        text.remove_prefix(decoded->length);
    }
    return result;
}

std::string cleanedText(std::string_view text, std::size_t maxBytes) {
    return std::string(truncatedUTF8(replacingControlCharacters(text, ""), maxBytes));
}

}  // namespace quillory

#include "protocol/base64.h"

#include <array>
#include <cstdint>

namespace quillory {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table) {
        entry = -1;
    }
    for (int index = 0; index < 64; ++index) {
        table[static_cast<unsigned char>(alphabet[index])] = static_cast<std::int8_t>(index);
    }
    return table;
}

constexpr auto decodeTable = makeDecodeTable();

}  // namespace

std::string base64Encode(ByteView bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t index = 0;
    for (; index + 3 <= bytes.size(); index += 3) {
        const std::uint32_t group = static_cast<std::uint32_t>(bytes[index]) << 16 |
                                    static_cast<std::uint32_t>(bytes[index + 1]) << 8 |
                                    bytes[index + 2];
        text.push_back(alphabet[group >> 18 & 0x3F]);
        text.push_back(alphabet[group >> 12 & 0x3F]);
        text.push_back(alphabet[group >> 6 & 0x3F]);
        text.push_back(alphabet[group & 0x3F]);
    }
    const std::size_t rest = bytes.size() - index;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(bytes[index]) << 16;
        if (rest == 2) {
            group |= static_cast<std::uint32_t>(bytes[index + 1]) << 8;
        }
        text.push_back(alphabet[group >> 18 & 0x3F]);
        text.push_back(alphabet[group >> 12 & 0x3F]);
        text.push_back(rest == 2 ? alphabet[group >> 6 & 0x3F] : '=');
        text.push_back('=');
    }
    return text;
}

std::optional<Bytes> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }
    Bytes bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t index = 0; index < text.size(); index += 4) {
        const bool last = index + 4 == text.size();
        const std::size_t digits = last ? 4 - padding : 4;
        std::uint32_t group = 0;
        for (std::size_t offset = 0; offset < 4; ++offset) {
            group <<= 6;
            if (offset < digits) {
                const std::int8_t value =
                    decodeTable[static_cast<unsigned char>(text[index + offset])];
                if (value < 0) {
                    return std::nullopt;
                }
                group |= static_cast<std::uint32_t>(value);
            }
        }
        bytes.push_back(static_cast<std::uint8_t>(group >> 16));
        if (digits > 2) {
            bytes.push_back(static_cast<std::uint8_t>(group >> 8));
        }
        if (digits > 3) {
            bytes.push_back(static_cast<std::uint8_t>(group));
        }
    }
    return bytes;
}

}  // namespace quillory

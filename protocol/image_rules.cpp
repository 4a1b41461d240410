#include "protocol/image_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quillory {
namespace {

std::uint32_t bigEndian32(ByteView bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) << 24 |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

bool startsWith(ByteView bytes, std::size_t offset, ByteView prefix) {
    return bytes.size() >= offset + prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin() + static_cast<long>(offset));
}

}  // namespace

bool isValidIconPNG(ByteView bytes) {
    static constexpr std::array<std::uint8_t, 8> pngSignature{0x89, 'P',  'N',  'G',
                                                              0x0D, 0x0A, 0x1A, 0x0A};
    static constexpr std::array<std::uint8_t, 4> pngHeader{'I', 'H', 'D', 'R'};
    if (bytes.size() < 24 || bytes.size() > 12'000) {
        return false;
    }
    if (!startsWith(bytes, 0, pngSignature) || !startsWith(bytes, 12, pngHeader)) {
        return false;
    }
    const std::uint32_t width = bigEndian32(bytes, 16);
    const std::uint32_t height = bigEndian32(bytes, 20);
    return width >= 1 && width <= 128 && height >= 1 && height <= 128;
}

bool isValidThumbnailJPEG(ByteView bytes) {
    static constexpr std::array<std::uint8_t, 3> jpegStart{0xFF, 0xD8, 0xFF};
    return bytes.size() >= 64 && bytes.size() <= 36'000 && startsWith(bytes, 0, jpegStart);
}

}  // namespace quillory

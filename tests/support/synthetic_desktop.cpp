#include "tests/support/synthetic_desktop.h"

#include <cstring>

namespace quillory::testing {
namespace {

std::uint32_t mix(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7feb352dU;
    value ^= value >> 15;
    value *= 0x846ca68bU;
    value ^= value >> 16;
    return value;
}

constexpr int lineHeight = 20;
constexpr int glyphWidth = 8;

// Whether the glyph cell at (column, line) shows ink at (x, y) inside the cell.
bool ink(int column, int line, int x, int y) {
    const std::uint32_t glyph =
        mix(static_cast<std::uint32_t>(line) * 7919U + static_cast<std::uint32_t>(column));
    if (glyph % 7 == 0 || y < 4 || y >= 16 || x >= 6) {
        return false;  // spaces, line gaps and letter gaps
    }
    // A 6×12 glyph from 18 bits of the hash, each bit a 2×4 block.
    const int bit = (y - 4) / 4 * 3 + x / 2;
    return ((glyph >> (bit + 8)) & 1U) != 0;
}

}  // namespace

void paintSyntheticDesktop(std::uint8_t* bgrx, int width, int height, int stride, int scrollRows) {
    const int photoLeft = width * 2 / 3;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bgrx + static_cast<std::ptrdiff_t>(y) * stride;
        const int documentY = y + scrollRows;
        const int line = documentY / lineHeight;
        const int inLine = documentY % lineHeight;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = row + x * 4;
            if (x >= photoLeft && y >= height / 6 && y < height * 5 / 6) {
                const int noise = static_cast<int>(
                    mix(static_cast<std::uint32_t>(y) * 65537U + static_cast<std::uint32_t>(x)) &
                    31U);
                pixel[0] = static_cast<std::uint8_t>((x * 3 + y) / 8 % 160 + noise);
                pixel[1] = static_cast<std::uint8_t>(y / 5 % 180 + noise);
                pixel[2] = static_cast<std::uint8_t>((x + y * 2) / 9 % 200 + noise);
            } else {
                const bool dark = x > 16 && ink(x / glyphWidth, line, x % glyphWidth, inLine);
                const std::uint8_t level = dark ? 30 : 242;
                pixel[0] = level;
                pixel[1] = level;
                pixel[2] = level;
            }
            pixel[3] = 255;
        }
    }
}

}  // namespace quillory::testing

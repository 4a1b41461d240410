#include "tests/support/busy_frame.h"

#include <algorithm>
#include <cstring>

namespace quillory::testing {
namespace {

// Glyphs of 4 × 7 cells of 3 × 3 pixels. The scroll stays a whole number of rows when the frame
// is scaled by 2/3, and slow enough for the motion search at a quarter of the frames.
constexpr int cell = 3;
constexpr int glyphWidth = 5 * cell;
constexpr int glyphHeight = 7 * cell;
constexpr int lineHeight = 12 * cell;
constexpr int scrollRowsPerFrame = 3;
constexpr std::uint8_t paper = 200;
constexpr std::uint8_t ink = 60;

std::uint64_t mixed(std::uint64_t value) {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdu;
    value ^= value >> 33;
    return value;
}

}  // namespace

void paintBusyFrame(std::uint32_t index, PixelBuffer& nv12) {
    const int width = nv12.width();
    const int height = nv12.height();
    const auto stride = static_cast<std::size_t>(nv12.strideY());
    const int noiseRows = height / 6;
    std::uint64_t state = mixed(index + 1);
    for (int row = 0; row < noiseRows; ++row) {
        std::uint8_t* line = nv12.dataY() + static_cast<std::size_t>(row) * stride;
        for (int x = 0; x + 8 <= width; x += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            // Eight pixels of 120 + 0..15 from the eight bytes of the state: faint enough that a
            // moderate quantiser drops it, so a funded stream stays at a fine one.
            const std::uint64_t pixels = (state & 0x0f0f0f0f0f0f0f0fu) + 0x7878787878787878u;
            std::memcpy(line + x, &pixels, 8);
        }
    }
    const int scrolled = static_cast<int>(index % 100000) * scrollRowsPerFrame;
    for (int row = noiseRows; row < height; ++row) {
        std::uint8_t* line = nv12.dataY() + static_cast<std::size_t>(row) * stride;
        const int textRow = row + scrolled;
        const int inLine = textRow % lineHeight;
        if (inLine >= glyphHeight) {
            std::memset(line, paper, static_cast<std::size_t>(width));
            continue;
        }
        const auto textLine = static_cast<std::uint64_t>(textRow / lineHeight);
        for (int left = 0; left < width; left += glyphWidth) {
            // Each glyph is a 4 × 7 grid of on and off cells, picked by the line and column.
            const auto glyph =
                mixed(textLine * 4099 + static_cast<std::uint64_t>(left / glyphWidth));
            for (int x = left; x < std::min(width, left + glyphWidth); ++x) {
                const int column = (x - left) / cell;
                const int bit = (inLine / cell) * 4 + column;
                const bool on = column < 4 && ((glyph >> bit) & 1u) != 0;
                line[x] = on ? ink : paper;
            }
        }
    }
}

}  // namespace quillory::testing

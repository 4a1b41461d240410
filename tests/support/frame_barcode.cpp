#include "tests/support/frame_barcode.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillory::testing {
namespace {

constexpr int columns = 8;
constexpr int rows = 6;
constexpr int bitCount = columns * rows;
constexpr double cellsPerShortEdge = 12.0;
constexpr std::uint8_t lumaBlack = 16;
constexpr std::uint8_t lumaWhite = 235;
// Luma a block must clearly reach to count as black or white.
constexpr int darkAtMost = 80;
constexpr int lightAtLeast = 170;

// CRC-16/CCITT-FALSE of the counter's four bytes, most significant first.
std::uint16_t crc16(std::uint32_t counter) {
    std::uint32_t crc = 0xffff;
    for (int shift = 24; shift >= 0; shift -= 8) {
        crc ^= ((counter >> shift) & 0xffu) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

std::array<bool, bitCount> bitsOf(std::uint32_t counter) {
    std::array<bool, bitCount> bits{};
    const std::uint64_t word = static_cast<std::uint64_t>(counter) << 16 | crc16(counter);
    for (int i = 0; i < bitCount; ++i) {
        bits[static_cast<std::size_t>(i)] = ((word >> (bitCount - 1 - i)) & 1u) != 0;
    }
    return bits;
}

struct Cell {
    int x0, y0, x1, y1;
};

// The cell's pixels; `inset` (0 to 0.5) keeps away from its edges.
Cell cellAt(int width, int height, int index, double inset) {
    const double cell = std::min(width, height) / cellsPerShortEdge;
    const double left = width / 2.0 - columns / 2.0 * cell;
    const double top = height / 2.0 - rows / 2.0 * cell;
    const int column = index % columns;
    const int row = index / columns;
    auto edge = [](double value) { return static_cast<int>(value + 0.5); };
    return Cell{edge(left + (column + inset) * cell), edge(top + (row + inset) * cell),
                edge(left + (column + 1 - inset) * cell), edge(top + (row + 1 - inset) * cell)};
}

template <typename Paint>
void paintCells(std::uint32_t counter, int width, int height, Paint paint) {
    const auto bits = bitsOf(counter);
    for (int i = 0; i < bitCount; ++i) {
        paint(cellAt(width, height, i, 0.0), bits[static_cast<std::size_t>(i)]);
    }
}

}  // namespace

void paintFrameBarcode(std::uint32_t counter, PixelBuffer& nv12) {
    paintCells(counter, nv12.width(), nv12.height(), [&](const Cell& cell, bool white) {
        for (int y = cell.y0; y < cell.y1; ++y) {
            std::memset(nv12.dataY() + static_cast<std::ptrdiff_t>(y) * nv12.strideY() + cell.x0,
                        white ? lumaWhite : lumaBlack, static_cast<std::size_t>(cell.x1 - cell.x0));
        }
        for (int y = cell.y0 / 2; y < (cell.y1 + 1) / 2; ++y) {
            std::memset(
                nv12.dataUV() + static_cast<std::ptrdiff_t>(y) * nv12.strideUV() + cell.x0 / 2 * 2,
                128, static_cast<std::size_t>((cell.x1 + 1) / 2 * 2 - cell.x0 / 2 * 2));
        }
    });
}

void paintFrameBarcode(std::uint32_t counter, std::uint8_t* bgrx, int width, int height,
                       int stride) {
    paintCells(counter, width, height, [&](const Cell& cell, bool white) {
        const std::uint8_t level = white ? 255 : 0;
        for (int y = cell.y0; y < cell.y1; ++y) {
            std::uint8_t* row = bgrx + static_cast<std::ptrdiff_t>(y) * stride;
            std::memset(row + cell.x0 * 4, level, static_cast<std::size_t>(cell.x1 - cell.x0) * 4);
        }
    });
}

std::optional<std::uint32_t> readFrameBarcode(const std::uint8_t* luma, int width, int height,
                                              int stride) {
    if (luma == nullptr || width < columns * 4 || height < rows * 4 || stride < width) {
        return std::nullopt;
    }
    std::uint64_t word = 0;
    for (int i = 0; i < bitCount; ++i) {
        const Cell cell = cellAt(width, height, i, 0.25);
        if (cell.x1 <= cell.x0 || cell.y1 <= cell.y0) {
            return std::nullopt;
        }
        std::uint64_t sum = 0;
        for (int y = cell.y0; y < cell.y1; ++y) {
            const std::uint8_t* row = luma + static_cast<std::ptrdiff_t>(y) * stride;
            for (int x = cell.x0; x < cell.x1; ++x) {
                sum += row[x];
            }
        }
        const auto count = static_cast<std::uint64_t>(cell.x1 - cell.x0) *
                           static_cast<std::uint64_t>(cell.y1 - cell.y0);
        const auto mean = static_cast<int>(sum / count);
        if (mean > darkAtMost && mean < lightAtLeast) {
            return std::nullopt;
        }
        word = word << 1 | (mean >= lightAtLeast ? 1u : 0u);
    }
    const auto counter = static_cast<std::uint32_t>(word >> 16);
    if (static_cast<std::uint16_t>(word & 0xffffu) != crc16(counter)) {
        return std::nullopt;
    }
    return counter;
}

std::optional<std::uint32_t> readFrameBarcode(const PixelBuffer& nv12) {
    return readFrameBarcode(nv12.dataY(), nv12.width(), nv12.height(), nv12.strideY());
}

}  // namespace quillory::testing

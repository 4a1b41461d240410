#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/video/pixel_buffer.h"

namespace quillory {

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PixelRect&) const = default;
};

// 32-bit pixels as the X server stores them: blue, green, red, unused in memory when its image
// byte order is least significant first; unused, red, green, blue when most significant first.
enum class BgrxByteOrder { leastSignificantFirst, mostSignificantFirst };

struct BgrxImage {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    BgrxByteOrder byteOrder = BgrxByteOrder::leastSignificantFirst;
};

struct ConversionError {
    std::string message;
};

// BGRX to NV12 (BT.601 video range), scaled with a box filter to the target's size when the
// sizes differ. The source must be at least 2×2 and its stride cover its width.
std::optional<ConversionError> convertBgrxToNv12(const BgrxImage& source, PixelBuffer& target);

// BGRX into the part of an NV12 target at (x, y), unscaled: position and the source's size even,
// the part inside the target.
std::optional<ConversionError> convertBgrxToNv12At(const BgrxImage& source, PixelBuffer& target,
                                                   int x, int y);

// Every pixel of `source` outside `keep` copied into `target` of the same size (`keep` even).
void copyNv12Outside(const PixelBuffer& source, const PixelRect& keep, PixelBuffer& target);

// NV12 scaled to the target's size with a box filter.
std::optional<ConversionError> scaleNv12(const PixelBuffer& source, PixelBuffer& target);

// The source rectangle (even position and size, inside the source) scaled to the target's size.
std::optional<ConversionError> cropAndScaleNv12(const PixelBuffer& source, const PixelRect& crop,
                                                PixelBuffer& target);

// Planar I420 copy of an NV12 buffer: luma, then U and V at half size, tightly packed.
struct I420Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y, u, v;
};
I420Image convertNv12ToI420(const PixelBuffer& source);

}  // namespace quillory

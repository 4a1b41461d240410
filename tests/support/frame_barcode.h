#pragma once

#include <cstdint>
#include <optional>

#include "platform/video/pixel_buffer.h"

namespace quillory::testing {

// A frame counter painted as black and white blocks: 32 counter bits and a 16-bit check, in a
// grid centred on the picture and sized from its shorter edge, so it survives a centred crop,
// scaling down to 320 pixels wide and H.264 at low rates. A block that is neither clearly black
// nor clearly white, or a failed check, reads as nothing: never as a wrong number.
void paintFrameBarcode(std::uint32_t counter, PixelBuffer& nv12);
void paintFrameBarcode(std::uint32_t counter, std::uint8_t* bgrx, int width, int height,
                       int stride);

std::optional<std::uint32_t> readFrameBarcode(const std::uint8_t* luma, int width, int height,
                                              int stride);
std::optional<std::uint32_t> readFrameBarcode(const PixelBuffer& nv12);

}  // namespace quillory::testing

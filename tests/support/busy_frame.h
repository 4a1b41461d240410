#pragma once

#include <cstdint>

#include "platform/video/pixel_buffer.h"

namespace quillory::testing {

// Luma for a stream that uses whatever rate it is given at a moderate quantiser: a band of faint
// noise across the top sixth, new in every frame, over lines of block text that scroll up by two
// rows a frame. The chroma plane is left alone. Frames differ only through `index`.
void paintBusyFrame(std::uint32_t index, PixelBuffer& nv12);

}  // namespace quillory::testing

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/image/bgrx_picture.h"

namespace quillory {

// Baseline JPEG with 4:2:0 chroma at an integer quality of 1 to 100; nothing when the picture is
// invalid, the quality out of range or the encoder fails.
std::optional<std::vector<std::uint8_t>> encodeJPEG(const BgrxPicture& picture, int quality);

}  // namespace quillory

#pragma once

#include "platform/crypto/crypto.h"

namespace quillory {

// An application icon: 24 to 12,000 bytes of PNG whose IHDR gives a width and height of 1 to 128.
bool isValidIconPNG(ByteView bytes);

// A source thumbnail: 64 to 36,000 bytes of JPEG (starting FF D8 FF).
bool isValidThumbnailJPEG(ByteView bytes);

}  // namespace quillory

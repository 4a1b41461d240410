#pragma once

#include <optional>

#include "platform/capture/capture_stream.h"
#include "platform/image/bgrx_picture.h"

namespace quillory {

// One still picture of a target at its own size, without the cursor; blocks for one grab.
// `display` nullptr means $DISPLAY. Nothing, with `error` set, when the target cannot be grabbed.
std::optional<BgrxPicture> capturePicture(const CaptureTarget& target, const char* display,
                                          CaptureError& error);

// The same picture scaled by the X server to width × height, averaged over the pixels each output
// pixel covers when it shrinks: only the small picture crosses the connection and no picture of
// the target's size exists in this process.
std::optional<BgrxPicture> captureScaledPicture(const CaptureTarget& target, int width, int height,
                                                const char* display, CaptureError& error);

}  // namespace quillory

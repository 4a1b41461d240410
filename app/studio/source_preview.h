#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/studio/studio_capture_source.h"
#include "platform/image/bgrx_picture.h"

namespace quillory {

struct PreviewSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PreviewSize&, const PreviewSize&) = default;
};

// The preview's size: the long side 360 pixels, up or down, each side at least 2; nothing for a
// source without area.
std::optional<PreviewSize> previewSize(double width, double height);

// A small JPEG of a source for the thumbnails: one picture at the preview size, scaled by the X
// server, then JPEG at qualities 62, 45 and 30 until the bytes fit 20,000 and pass the thumbnail
// rule. Blocking: call it off the main thread. Nothing on any failure.
struct PreviewCapture {
    // The target's picture at exactly `size`; nothing when it cannot be taken.
    std::function<std::optional<BgrxPicture>(const CaptureTarget&, PreviewSize size)> grab;
    std::function<std::optional<std::vector<std::uint8_t>>(const BgrxPicture&, int quality)> encode;

    // The X server at $DISPLAY and libturbojpeg.
    static PreviewCapture system();
};

std::optional<std::vector<std::uint8_t>> capturePreviewJPEG(const StudioCaptureSource& source,
                                                            const PreviewCapture& capture);

// The quality ladder alone.
std::optional<std::vector<std::uint8_t>> encodePreviewJPEG(const BgrxPicture& picture,
                                                           const PreviewCapture& capture);

}  // namespace quillory

#include "app/studio/source_preview.h"

#include <algorithm>
#include <cmath>

#include "platform/capture/capture_picture.h"
#include "platform/image/jpeg_encoder.h"
#include "protocol/image_rules.h"

namespace quillory {

namespace {

constexpr double longSide = 360;
constexpr int smallestSide = 2;
constexpr int qualities[] = {62, 45, 30};
constexpr std::size_t byteBudget = 20000;

}  // namespace

std::optional<PreviewSize> previewSize(double width, double height) {
    if (!(width > 0 && height > 0)) {
        return std::nullopt;
    }
    const double s = longSide / std::max(width, height);
    // std::lround rounds halves away from zero: 202.5 gives 203.
    return PreviewSize{std::max(static_cast<int>(std::lround(width * s)), smallestSide),
                       std::max(static_cast<int>(std::lround(height * s)), smallestSide)};
}

PreviewCapture PreviewCapture::system() {
    return {[](const CaptureTarget& target, PreviewSize size) {
                CaptureError error;
                return captureScaledPicture(target, size.width, size.height, nullptr, error);
            },
            [](const BgrxPicture& picture, int quality) { return encodeJPEG(picture, quality); }};
}

std::optional<std::vector<std::uint8_t>> encodePreviewJPEG(const BgrxPicture& picture,
                                                           const PreviewCapture& capture) {
    for (const int quality : qualities) {
        auto bytes = capture.encode(picture, quality);
        if (bytes && bytes->size() <= byteBudget && isValidThumbnailJPEG(*bytes)) {
            return bytes;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> capturePreviewJPEG(const StudioCaptureSource& source,
                                                            const PreviewCapture& capture) {
    const Rect frame = source.frame();
    const auto size = previewSize(frame.width, frame.height);
    if (!size) {
        return std::nullopt;
    }
    const auto picture = capture.grab(source.captureTarget(), *size);
    if (!picture || !picture->isValid() || picture->width != size->width ||
        picture->height != size->height) {
        return std::nullopt;
    }
    return encodePreviewJPEG(*picture, capture);
}

}  // namespace quillory

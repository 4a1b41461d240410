#include "platform/image/bgrx_picture.h"

#include <libyuv/scale_argb.h>

namespace quillory {

std::optional<BgrxPicture> scaledBgrx(const BgrxPicture& picture, int width, int height) {
    if (!picture.isValid() || width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return std::nullopt;
    }
    BgrxPicture result{width, height,
                       std::vector<std::uint8_t>(static_cast<std::size_t>(width) *
                                                 static_cast<std::size_t>(height) * 4)};
    // libyuv's ARGB is B, G, R, A in memory: our byte order.
    if (libyuv::ARGBScale(picture.pixels.data(), picture.width * 4, picture.width, picture.height,
                          result.pixels.data(), width * 4, width, height,
                          libyuv::kFilterBox) != 0) {
        return std::nullopt;
    }
    return result;
}

}  // namespace quillory

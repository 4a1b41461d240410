#include "platform/image/jpeg_encoder.h"

#include <turbojpeg.h>

#include <memory>

namespace quillory {

std::optional<std::vector<std::uint8_t>> encodeJPEG(const BgrxPicture& picture, int quality) {
    if (!picture.isValid() || quality < 1 || quality > 100) {
        return std::nullopt;
    }
    std::unique_ptr<void, decltype(&tjDestroy)> handle(tjInitCompress(), &tjDestroy);
    if (!handle) {
        return std::nullopt;
    }
    unsigned char* output = nullptr;
    unsigned long size = 0;
    const int status =
        tjCompress2(handle.get(), picture.pixels.data(), picture.width, picture.width * 4,
                    picture.height, TJPF_BGRX, &output, &size, TJSAMP_420, quality, 0);
    std::unique_ptr<unsigned char, decltype(&tjFree)> owned(output, &tjFree);
    if (status != 0 || !output || size == 0) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(output, output + size);
}

}  // namespace quillory

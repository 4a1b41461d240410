#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quillory {

// A picture in memory as blue, green, red, unused bytes per pixel, rows packed (stride 4 × width).
struct BgrxPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    bool isValid() const {
        return width > 0 && height > 0 &&
               pixels.size() ==
                   static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    }
};

// The picture scaled to width × height with a box filter; nothing for an invalid picture or size.
std::optional<BgrxPicture> scaledBgrx(const BgrxPicture& picture, int width, int height);

}  // namespace quillory

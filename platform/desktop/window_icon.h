#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quillory {

// One icon image of a window: non-premultiplied ARGB, one 32-bit value per pixel, rows top down.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    friend bool operator==(const IconPixels&, const IconPixels&) = default;
};

// From the cardinals of _NET_WM_ICON (width, height, then width × height pixels, repeated): the
// smallest image at least `side` wide and high, else the largest. Entries cut short or with a
// side of 0 or above 4096 end the list; none when no whole entry remains.
std::optional<IconPixels> chooseWindowIcon(const std::vector<std::uint32_t>& cardinals, int side);

}  // namespace quillory

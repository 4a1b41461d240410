#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/window_icons.h"

namespace quillory {

// An application's image in plain, non-premultiplied ARGB pixels, rows top to bottom.
struct ApplicationImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// Turns a theme icon name into pixels at a side; the Qt layer's work.
using ThemeIconLoader =
    std::function<std::optional<ApplicationImage>(const std::string& name, int side)>;

constexpr int applicationImageSide = 64;

// The image of a window's application: its own icon entry closest to at least 64 pixels (else
// its largest), else the theme icon its .desktop file names (`iconName`, may be empty).
std::optional<ApplicationImage> applicationImage(const std::vector<WindowIcon>& icons,
                                                 const std::string& iconName,
                                                 const ThemeIconLoader& themeIcon);

}  // namespace quillory

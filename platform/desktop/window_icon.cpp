#include "platform/desktop/window_icon.h"

namespace quillory {

std::optional<IconPixels> chooseWindowIcon(const std::vector<std::uint32_t>& cardinals, int side) {
    constexpr std::uint32_t maximumSide = 4096;
    struct Entry {
        std::size_t offset;
        std::uint32_t width, height;
    };
    std::optional<Entry> atLeast, largest;
    std::size_t at = 0;
    while (at + 2 <= cardinals.size()) {
        const std::uint32_t width = cardinals[at];
        const std::uint32_t height = cardinals[at + 1];
        if (width == 0 || height == 0 || width > maximumSide || height > maximumSide) {
            break;
        }
        const std::size_t pixels = std::size_t{width} * height;
        if (cardinals.size() - at - 2 < pixels) {
            break;
        }
        const Entry entry{at + 2, width, height};
        const auto area = [](const Entry& e) { return std::uint64_t{e.width} * e.height; };
        const auto wanted = static_cast<std::uint32_t>(side);
        if (width >= wanted && height >= wanted && (!atLeast || area(entry) < area(*atLeast))) {
            atLeast = entry;
        }
        if (!largest || area(entry) > area(*largest)) {
            largest = entry;
        }
        at += 2 + pixels;
    }
    const auto chosen = atLeast ? atLeast : largest;
    if (!chosen) {
        return std::nullopt;
    }
    const auto begin = cardinals.begin() + static_cast<std::ptrdiff_t>(chosen->offset);
    return IconPixels{static_cast<int>(chosen->width), static_cast<int>(chosen->height),
                      std::vector<std::uint32_t>(
                          begin, begin + static_cast<std::ptrdiff_t>(std::size_t{chosen->width} *
                                                                     chosen->height))};
}

}  // namespace quillory

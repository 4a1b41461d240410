#include "platform/desktop/desktop.h"

#include <algorithm>

namespace quillory {

std::optional<DisplayInfo> Desktop::mainDisplay() const {
    const auto all = displays();
    if (all.empty()) {
        return std::nullopt;
    }
    const auto primary =
        std::find_if(all.begin(), all.end(), [](const auto& d) { return d.primary; });
    return primary != all.end() ? *primary : all.front();
}

std::optional<DisplayInfo> Desktop::display(std::uint32_t id) const {
    for (const auto& candidate : displays()) {
        if (candidate.id == id) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<WindowInfo> Desktop::window(std::uint32_t id) const {
    if (const auto all = windows()) {
        for (const auto& candidate : *all) {
            if (candidate.id == id) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

std::vector<DisplayInfo> FallbackDesktop::displays() const {
    return {{.id = 1, .bounds = {0, 0, 1920, 1080}, .primary = true, .name = "fake"}};
}

std::optional<std::vector<WindowInfo>> FallbackDesktop::windows() const {
    return std::vector<WindowInfo>{};
}

std::optional<ApplicationInfo> FallbackDesktop::frontmostApplication() const {
    return std::nullopt;
}

bool FallbackDesktop::raise(std::uint32_t) {
    return false;
}

std::optional<std::vector<ShareableWindow>> FallbackDesktop::shareableWindows() const {
    return std::vector<ShareableWindow>{};
}

}  // namespace quillory

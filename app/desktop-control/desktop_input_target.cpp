#include "app/desktop-control/desktop_input_target.h"

namespace quillory {

DesktopInputTarget DesktopInputTarget::mainDisplay(const Desktop& desktop) {
    DesktopInputTarget target;
    if (const auto main = desktop.mainDisplay()) {
        target.bounds = main->bounds;
        target.displayID = main->id;
    }
    return target;
}

std::optional<std::vector<Rect>> DesktopInputTarget::occluders(
    std::optional<std::int32_t> frontmost, const Desktop& desktop) const {
    if (displayID) {
        const auto display = desktop.display(*displayID);
        if (!display || display->bounds != bounds) {
            return std::nullopt;
        }
        return std::vector<Rect>{};
    }
    if (!windowID || !processID || !frontmost || *processID != *frontmost) {
        return std::nullopt;
    }
    const auto windows = desktop.windows();
    if (!windows || windows->empty()) {
        return std::nullopt;
    }
    std::vector<Rect> inFront;
    for (const WindowInfo& window : *windows) {
        if (window.id == *windowID) {
            if (window.frame != bounds) {
                return std::nullopt;
            }
            return inFront;
        }
        if (window.layer == 0 && !window.frame.isEmpty()) {
            inFront.push_back(window.frame);
        }
    }
    return std::nullopt;
}

}  // namespace quillory

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/desktop.h"
#include "protocol/uuid.h"

namespace quillory {

// Where desktop input lands: a whole display (the main display unless Studio shares another) or
// one shared window.
struct DesktopInputTarget {
    std::optional<Uuid> studioID;  // samples and actions must carry the same value
    Rect bounds;                   // global display coordinates
    std::optional<std::uint32_t> displayID;
    std::optional<std::uint32_t> windowID;
    std::optional<std::int32_t> processID;

    // The main display of `desktop`.
    static DesktopInputTarget mainDisplay(const Desktop& desktop);

    // Rectangles of the windows in front of a window target, front first; empty for a display.
    // None when the target can no longer be trusted: the display is gone or rearranged, the
    // window is gone, moved or resized, or its owner is not `frontmost`.
    std::optional<std::vector<Rect>> occluders(std::optional<std::int32_t> frontmost,
                                               const Desktop& desktop) const;

    friend bool operator==(const DesktopInputTarget&, const DesktopInputTarget&) = default;
};

}  // namespace quillory

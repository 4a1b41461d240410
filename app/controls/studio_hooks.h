#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/desktop-control/desktop_input_target.h"
#include "protocol/studio_signal.h"

namespace quillory {

// What the Studio host calls on its owner, all on the main thread; any may be empty.
struct StudioHooks {
    // A signal for the tablet.
    std::function<void(const StudioSignal&)> send;
    // Where desktop input must land for the shared source.
    std::function<void(const DesktopInputTarget&)> onMappingChanged;
    // A shared window was raised.
    std::function<void()> onSourceActivated;
    // Desktop input must be reset and re-evaluated before the source changes.
    std::function<void()> onInputBoundary;
    // This end's address on the current link, read at each request, for the stream's candidates.
    std::function<std::optional<std::string>()> localAddress;
};

}  // namespace quillory

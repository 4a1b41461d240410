#pragma once

#include <cstdint>

#include "media/studio_source_size.h"

namespace quillory {

// A frame size at a frame rate: the unit the adaptation policy moves between.
struct StudioOperatingPoint {
    StudioSourceSize size;
    int framesPerSecond = 30;

    std::int64_t pixelCount() const { return size.pixelCount(); }

    bool operator==(const StudioOperatingPoint&) const = default;
};

}  // namespace quillory

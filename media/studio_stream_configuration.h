#pragma once

#include "protocol/studio_preset.h"

namespace quillory {

// What the tablet asked the Studio sender for: a quality preset and the viewport it draws into.
struct StudioStreamConfiguration {
    StudioPreset preset = StudioPreset::balanced;
    int width = 0;
    int height = 0;

    bool operator==(const StudioStreamConfiguration&) const = default;
};

}  // namespace quillory

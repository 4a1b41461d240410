#pragma once

#include <array>
#include <string_view>

#include "protocol/raw_value.h"

namespace quillory {

// The tablet's choice between picture quality and responsiveness of a Studio stream.
enum class StudioPreset { quality, balanced, responsive };

// rawValue(StudioPreset), fromRawValue<StudioPreset>(text) and allCases<StudioPreset>() (in this
// order) come from raw_value.h.
template <>
struct RawValues<StudioPreset> {
    static constexpr std::array<std::string_view, 3> names{"quality", "balanced", "responsive"};
};

}  // namespace quillory

#pragma once

#include <cstdint>
#include <optional>

#include "protocol/pen_sample.h"

namespace quillory {

// Keeps only samples that continue a well-formed stroke: sequences rise strictly, a stroke begins
// before it moves or ends, and hovering happens only while the pen is up.
struct StrokeGate {
    std::optional<std::uint64_t> lastSequence;
    bool isDown = false;

    // False for an invalid sample or one whose sequence does not rise. Otherwise the sequence is
    // recorded (even when the phase rule then refuses) and the phase rule decides: "began" puts
    // the pen down; "moved" needs it down; "ended" and "cancelled" need it down and lift it;
    // "hover" needs it up.
    bool accept(const PenSample& sample);
};

}  // namespace quillory

#include "protocol/stroke_gate.h"

namespace quillory {

bool StrokeGate::accept(const PenSample& sample) {
    if (!sample.isValid() || (lastSequence && sample.sequence <= *lastSequence)) {
        return false;
    }
    lastSequence = sample.sequence;
    switch (sample.phase) {
        case PenSample::Phase::began:
            isDown = true;
            return true;
        case PenSample::Phase::moved:
            return isDown;
        case PenSample::Phase::ended:
        case PenSample::Phase::cancelled:
            if (!isDown) {
                return false;
            }
            isDown = false;
            return true;
        case PenSample::Phase::hover:
            return !isDown;
    }
    return false;
}

}  // namespace quillory

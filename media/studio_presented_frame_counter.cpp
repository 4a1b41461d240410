#include "media/studio_presented_frame_counter.h"

namespace quillory {

bool StudioPresentedFrameCounter::insert(std::uint64_t serial) {
    const std::uint64_t floor = newestSerial_ > window ? newestSerial_ - window : 0;
    if (serial <= floor || !seen_.insert(serial).second) {
        return false;
    }
    if (serial > newestSerial_) {
        newestSerial_ = serial;
        const std::uint64_t keepAbove = serial > window ? serial - window : 0;
        seen_.erase(seen_.begin(), seen_.upper_bound(keepAbove));
    }
    return true;
}

}  // namespace quillory

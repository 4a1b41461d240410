#include "media/studio_frame_admission.h"

namespace quillory {

void StudioFrameAdmission::open() {
    std::lock_guard guard(lock_);
    open_ = true;
}

void StudioFrameAdmission::close() {
    std::lock_guard guard(lock_);
    open_ = false;
}

bool StudioFrameAdmission::admit(std::int64_t timestampNanoseconds) {
    std::lock_guard guard(lock_);
    if (!open_ || (last_ && timestampNanoseconds <= *last_)) {
        return false;
    }
    last_ = timestampNanoseconds;
    return true;
}

}  // namespace quillory

#include "app/studio/studio_encoder_admission.h"

namespace quillory {

StudioEncoderAdmission::Admitted StudioEncoderAdmission::admit(const VideoFrame& frame,
                                                               bool keyframeWanted, double now) {
    std::lock_guard lock(lock_);
    Admitted admitted;
    if (!active_) {
        return admitted;
    }
    admitted.accepted = true;
    admitted.generation = generation_;
    forceKeyframe_ = keyframeWanted || forceKeyframe_ || (pending_ && pending_->keyframe);
    admitted.replaced = std::move(pending_);
    pending_ = Job{frame, forceKeyframe_, now};
    if (pumpDue()) {
        pumping_ = true;
        admitted.schedule = true;
    }
    return admitted;
}

int StudioEncoderAdmission::framesInCodec() const {
    std::lock_guard lock(lock_);
    return submitted_;
}

bool StudioEncoderAdmission::pumpDue() const {
    return active_ && pending_ && !pumping_ && submitted_ < maximumInCodec;
}

bool StudioEncoderAdmission::claimPump() {
    std::lock_guard lock(lock_);
    if (!pumpDue()) {
        return false;
    }
    pumping_ = true;
    return true;
}

std::optional<StudioEncoderAdmission::Taken> StudioEncoderAdmission::take() {
    std::lock_guard lock(lock_);
    pumping_ = false;
    if (!active_ || submitted_ >= maximumInCodec || !pending_) {
        return std::nullopt;
    }
    Taken taken{std::move(*pending_), generation_, forceKeyframe_};
    taken.keyframe = taken.keyframe || taken.job.keyframe;
    pending_.reset();
    forceKeyframe_ = false;
    return taken;
}

int StudioEncoderAdmission::submitted() {
    std::lock_guard lock(lock_);
    return ++submitted_;
}

void StudioEncoderAdmission::refused() {
    std::lock_guard lock(lock_);
    --submitted_;
    forceKeyframe_ = true;
}

bool StudioEncoderAdmission::completed() {
    std::lock_guard lock(lock_);
    --submitted_;
    return active_;
}

void StudioEncoderAdmission::requestKeyframe() {
    std::lock_guard lock(lock_);
    forceKeyframe_ = true;
}

void StudioEncoderAdmission::open() {
    std::lock_guard lock(lock_);
    active_ = true;
    forceKeyframe_ = true;
}

void StudioEncoderAdmission::close() {
    std::lock_guard lock(lock_);
    active_ = false;
    pending_.reset();
}

void StudioEncoderAdmission::renew() {
    std::lock_guard lock(lock_);
    active_ = false;
    generation_ = Uuid::random();
    pending_.reset();
    pumping_ = false;
    submitted_ = 0;
    forceKeyframe_ = false;
}

}  // namespace quillory

#include "app/studio/studio_encoder_feedback_mailbox.h"

namespace quillory {
namespace {

constexpr int keyframeDropsReported = 3;

}  // namespace

StudioEncoderFeedbackMailbox::StudioEncoderFeedbackMailbox(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)) {}

void StudioEncoderFeedbackMailbox::setOnUpdate(Update onUpdate) {
    std::lock_guard lock(lock_);
    onUpdate_ = std::move(onUpdate);
}

void StudioEncoderFeedbackMailbox::openEpoch(const Uuid& epoch, int width, int height,
                                             std::int64_t bitrate, int fps) {
    std::lock_guard lock(lock_);
    epoch_ = epoch;
    width_ = width;
    height_ = height;
    bitrate_ = bitrate;
    fps_ = fps;
    epochStartedAt_ = windowStart_ = clock_->nowSeconds();
    submissions_ = drops_ = outputs_ = keyframeDrops_ = 0;
}

void StudioEncoderFeedbackMailbox::closeEpoch(const Uuid& epoch) {
    std::lock_guard lock(lock_);
    if (current(epoch)) {
        epoch_.reset();
    }
}

void StudioEncoderFeedbackMailbox::updateBitrate(std::int64_t bitrate, const Uuid& epoch) {
    std::optional<StudioEncoderFeedback> report;
    {
        std::lock_guard lock(lock_);
        if (!current(epoch)) {
            return;
        }
        bitrate_ = bitrate;
        report = snapshot(false);
    }
    push(report);
}

void StudioEncoderFeedbackMailbox::updateFramesPerSecond(int fps, const Uuid& epoch) {
    std::lock_guard lock(lock_);
    if (!current(epoch) || fps == fps_) {
        return;
    }
    fps_ = fps;
    epochStartedAt_ = windowStart_ = clock_->nowSeconds();
    submissions_ = drops_ = outputs_ = keyframeDrops_ = 0;
}

void StudioEncoderFeedbackMailbox::recordSubmission(const Uuid& epoch) {
    std::lock_guard lock(lock_);
    if (current(epoch)) {
        ++submissions_;
    }
}

void StudioEncoderFeedbackMailbox::recordCompletion(const Uuid& epoch, int fps, bool dropped,
                                                    bool keyframe) {
    std::optional<StudioEncoderFeedback> report;
    {
        std::lock_guard lock(lock_);
        if (!current(epoch) || fps != fps_) {
            return;
        }
        if (!dropped) {
            ++outputs_;
            keyframeDrops_ = 0;
            return;
        }
        ++drops_;
        if (!keyframe) {
            keyframeDrops_ = 0;
            return;
        }
        if (++keyframeDrops_ == keyframeDropsReported) {
            report = snapshot(true);
        }
    }
    push(report);
}

std::optional<StudioEncoderFeedback> StudioEncoderFeedbackMailbox::beginWindow() {
    std::lock_guard lock(lock_);
    auto report = snapshot(true);
    submissions_ = drops_ = outputs_ = 0;
    windowStart_ = report ? report->observedAt : clock_->nowSeconds();
    return report;
}

bool StudioEncoderFeedbackMailbox::isCurrent(const Uuid& epoch) const {
    std::lock_guard lock(lock_);
    return current(epoch);
}

std::optional<StudioEncoderFeedback> StudioEncoderFeedbackMailbox::snapshot(
    bool includingWindow) const {
    if (!epoch_) {
        return std::nullopt;
    }
    StudioEncoderFeedback report;
    report.epoch = *epoch_;
    report.epochStartedAt = epochStartedAt_;
    report.observedAt = clock_->nowSeconds();
    if (includingWindow) {
        report.windowStart = windowStart_;
        report.submitted = submissions_;
        report.dropped = drops_;
        report.output = outputs_;
    }
    report.bitrate = bitrate_;
    report.width = width_;
    report.height = height_;
    report.framesPerSecond = fps_;
    report.consecutiveKeyframeDrops = keyframeDrops_;
    return report;
}

void StudioEncoderFeedbackMailbox::push(const std::optional<StudioEncoderFeedback>& report) const {
    if (!report) {
        return;
    }
    Update onUpdate;
    {
        std::lock_guard lock(lock_);
        onUpdate = onUpdate_;
    }
    if (onUpdate) {
        onUpdate(*report);
    }
}

}  // namespace quillory

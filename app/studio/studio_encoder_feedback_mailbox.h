#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "media/studio_encoder_feedback.h"
#include "platform/clock/clock.h"
#include "protocol/uuid.h"

namespace quillory {

// Counts what the encoder does in its current epoch and window and turns that into feedback for
// the adaptation. Written on the encoder's queue, read by the session on the main thread. An
// operation for an epoch other than the current one does nothing.
class StudioEncoderFeedbackMailbox {
  public:
    using Update = std::function<void(const StudioEncoderFeedback&)>;

    explicit StudioEncoderFeedbackMailbox(std::shared_ptr<const Clock> clock);

    // Receives pushed reports on the encoder's queue, after the mailbox's lock is left.
    void setOnUpdate(Update onUpdate);

    void openEpoch(const Uuid& epoch, int width, int height, std::int64_t bitrate, int fps);
    void closeEpoch(const Uuid& epoch);
    // Pushes a report without a window.
    void updateBitrate(std::int64_t bitrate, const Uuid& epoch);
    // Restarts the epoch's times and counts; outputs of the old rate are no longer counted.
    void updateFramesPerSecond(int fps, const Uuid& epoch);
    void recordSubmission(const Uuid& epoch);
    // The third requested keyframe dropped in a row pushes a report with the window.
    void recordCompletion(const Uuid& epoch, int fps, bool dropped, bool keyframe);

    // The report of the window that ends now (none without an epoch); the next window starts.
    std::optional<StudioEncoderFeedback> beginWindow();
    bool isCurrent(const Uuid& epoch) const;

  private:
    std::optional<StudioEncoderFeedback> snapshot(bool includingWindow) const;
    void push(const std::optional<StudioEncoderFeedback>& report) const;
    bool current(const Uuid& epoch) const { return epoch_ && *epoch_ == epoch; }

    const std::shared_ptr<const Clock> clock_;
    mutable std::mutex lock_;
    Update onUpdate_;
    std::optional<Uuid> epoch_;
    int width_ = 0;
    int height_ = 0;
    std::int64_t bitrate_ = 0;
    int fps_ = 60;
    double epochStartedAt_ = 0.0;
    double windowStart_ = 0.0;
    int submissions_ = 0;
    int drops_ = 0;
    int outputs_ = 0;
    int keyframeDrops_ = 0;
};

}  // namespace quillory

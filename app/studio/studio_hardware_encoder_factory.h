#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/studio/studio_encoder_cadence.h"
#include "app/studio/studio_encoder_feedback_mailbox.h"
#include "app/studio/studio_encoder_metrics.h"
#include "app/studio/studio_video_codec.h"
#include "media/studio_performance_trace.h"
#include "platform/clock/clock.h"
#include "platform/video/video_encoder.h"

namespace quillory {

// The encoder factory a Studio stream hands to its peer: the shared H.264 codec list and one
// StudioHardwareEncoder per requested encoder. The metrics, mailbox and cadence outlive every
// encoder it made.
class StudioHardwareEncoderFactory final : public VideoEncoderFactory {
  public:
    using Failure = std::function<void(const std::string& message)>;

    // `clock` must be the one the peer's statistics intervals are read on.
    StudioHardwareEncoderFactory(Failure onFailure, std::shared_ptr<const Clock> clock,
                                 StudioVideoCodecOpener openCodec = libavcodecOpener());

    std::vector<VideoCodecInfo> supportedCodecs() const override;
    // None for a name other than "H264" or a codec matching no listed entry.
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override;

    // Profile and constraint bytes of "profile-level-id" equal in any letter case (the level may
    // differ: an answerer may state another one), and "packetization-mode" equal or both absent.
    static bool codecMatches(const VideoCodecInfo& requested, const VideoCodecInfo& listed);

    const std::shared_ptr<StudioEncoderMetrics>& metrics() const { return metrics_; }
    const std::shared_ptr<StudioEncoderFeedbackMailbox>& feedback() const { return feedback_; }
    const std::shared_ptr<StudioEncoderCadence>& cadence() const { return cadence_; }
    const Failure& onFailure() const { return onFailure_; }

    // Attached before the factory is handed to the peer; encoders made later record into it.
    void setTrace(std::shared_ptr<StudioPerformanceTrace> trace) { trace_ = std::move(trace); }
    const std::shared_ptr<StudioPerformanceTrace>& trace() const { return trace_; }

  private:
    const std::shared_ptr<StudioEncoderMetrics> metrics_;
    const std::shared_ptr<StudioEncoderFeedbackMailbox> feedback_;
    const std::shared_ptr<StudioEncoderCadence> cadence_;
    std::shared_ptr<StudioPerformanceTrace> trace_;
    const Failure onFailure_;
    const std::shared_ptr<const Clock> clock_;
    const StudioVideoCodecOpener openCodec_;
};

}  // namespace quillory

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/studio/studio_annex_b.h"
#include "app/studio/studio_encoder_admission.h"
#include "app/studio/studio_encoder_cadence.h"
#include "app/studio/studio_encoder_feedback_mailbox.h"
#include "app/studio/studio_encoder_metrics.h"
#include "app/studio/studio_video_codec.h"
#include "media/studio_performance_trace.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/video/video_encoder.h"
#include "protocol/uuid.h"

namespace quillory {

// The H.264 encoder the transport drives while Studio streams, tuned for interactive latency: one
// raw frame waits at a time (a newer one replaces it), at most two frames are inside the codec,
// and a frame that waited two frame intervals is discarded rather than encoded late. Every codec
// operation runs on its queue "com.quillory.video.encoder"; encode runs on the caller's thread
// and only touches the fields under the lock, the metrics and the trace. Made by
// StudioHardwareEncoderFactory.
class StudioHardwareEncoder final : public VideoEncoder,
                                    public std::enable_shared_from_this<StudioHardwareEncoder> {
  public:
    struct Shared {
        std::shared_ptr<StudioEncoderMetrics> metrics;
        std::shared_ptr<StudioEncoderFeedbackMailbox> feedback;
        std::shared_ptr<StudioEncoderCadence> desiredCadence;
        std::shared_ptr<StudioPerformanceTrace> trace;  // may be none
        std::function<void(const std::string&)> onFailure;
        std::shared_ptr<const Clock> clock;
        StudioVideoCodecOpener openCodec;
    };

    static std::shared_ptr<StudioHardwareEncoder> create(std::string profile, Shared shared);
    ~StudioHardwareEncoder() override;

    // Every operation but encode waits for the queue and must not be called from it.
    void setCallback(EncodedImageCallback callback) override;
    int startEncode(const VideoEncoderSettings& settings) override;
    int releaseEncoder() override;
    int encode(const VideoFrame& frame, const H264CodecSpecificInfo* info,
               std::span<const VideoFrameType> frameTypes) override;
    // The frame rate comes from the desired cadence, not from the transport.
    int setBitrate(std::uint32_t bitrateKbps, std::uint32_t framerate) override;
    std::string implementationName() const override;
    std::optional<VideoEncoderQpThresholds> scalingSettings() const override {
        return std::nullopt;
    }
    int resolutionAlignment() const override { return 2; }
    bool applyAlignmentToAllSimulcastLayers() const override { return true; }
    bool supportsNativeHandle() const override { return true; }

    const std::string& profile() const { return profile_; }
    // Frames inside the codec whose output has not been handled yet.
    int framesInCodec() const;
    // Waits until the queue has run the work posted before this call; false on the queue.
    bool waitForQueue();

  private:
    struct EncodingContext {
        VideoFrame frame;
        Uuid generation;
        double started = 0.0;
        double submitted = 0.0;
        int width = 0;
        int height = 0;
        bool keyframe = false;
        int fps = 0;
    };

    StudioHardwareEncoder(std::string profile, Shared shared);

    int start(const VideoEncoderSettings& settings);
    void teardown();
    bool configureSession();
    bool recordFailure(const std::optional<VideoError>& error, const std::string& step);
    bool applyBitrate();
    int updateBitrate(std::uint32_t kbps);
    // `claimed`: encode already claimed the pass.
    void schedulePump(bool claimed = false);
    void pump();
    // A frame the pump could not send: too late, no rate, or no buffer for it.
    void discardRaw(const StudioEncoderAdmission::Taken& taken);
    void submit(StudioEncoderAdmission::Taken taken, std::shared_ptr<PixelBuffer> buffer,
                double started);
    bool applyCadence();
    void outputsReady(double readyAt);
    // `readyAt` is when the codec said the outputs were ready; none when they came out of
    // the call that handles them.
    void handleOutputs(const std::vector<StudioCodecOutput>& outputs,
                       std::optional<double> readyAt);
    void handleOutput(const EncodingContext& context, const StudioCodecOutput& output,
                      std::optional<double> readyAt);
    void deliver(const EncodingContext& context, AnnexBAccessUnit unit, double readyAt,
                 double handled);
    void recordDrop(const EncodingContext& context, const StudioCodecOutput& output,
                    double readyAt);
    void fail(const std::string& message);
    void traceEvent(StudioPerformanceTrace::Stage stage, const VideoFrame* frame,
                    const Uuid& generation, std::optional<double> value = std::nullopt,
                    std::optional<bool> keyframe = std::nullopt) const;

    const std::string profile_;
    const Shared shared_;
    SerialQueue queue_;

    // The raw frame that waits and the frames inside the codec, shared with encode's thread.
    StudioEncoderAdmission admission_;

    // Confined to the queue. cadence_ is also read by encode, hence atomic.
    EncodedImageCallback callback_;
    std::unique_ptr<StudioVideoCodec> codec_;
    std::shared_ptr<PixelBufferPool> pool_;
    std::map<std::int64_t, EncodingContext> inCodec_;
    AnnexBParameterSets parameterSets_;
    int width_ = 0;
    int height_ = 0;
    std::atomic<int> cadence_{60};
    std::int64_t encoderTimestampTicks_ = 0;
    std::uint32_t bitrate_ = 0;
    bool failed_ = false;
    std::string startupFailure_;
    std::atomic<bool> hardware_{false};
};

}  // namespace quillory

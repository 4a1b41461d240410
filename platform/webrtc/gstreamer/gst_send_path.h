#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/sequence_checker.h"
#include "platform/dispatch/serial_queue.h"
#include "platform/video/h264_bitstream_reader.h"
#include "platform/video/video_encoder.h"
#include "platform/webrtc/bandwidth_estimator.h"
#include "platform/webrtc/gstreamer/gst_access_unit_feed.h"
#include "platform/webrtc/gstreamer/gst_probe_sender.h"
#include "platform/webrtc/gstreamer/gst_prober.h"
#include "platform/webrtc/gstreamer/gst_sender_measurements.h"
#include "platform/webrtc/gstreamer/keyframe_request_limiter.h"
#include "platform/webrtc/gstreamer/packet_pacer.h"
#include "platform/webrtc/peer_transport.h"

namespace quillory {

// The sender's video from the source to appsrc: frames go to the encoder on the transport's
// queue, which starts it at the answered codec and again when the frame size changes; its rate
// follows the bandwidth estimate under the sender's cap; a keyframe goes out when asked for, on
// reconnecting, and from the last picture when the screen stands still; the access units enter
// appsrc stamped with their capture times. With a probing configuration a prober probes the
// estimate, checked once a second and at every feedback window.
//
// Threads: the methods hop to the queue where they say so; the encoder is started, fed and
// released only there. It lives inside the transport, which hands it a weak pointer that keeps
// the transport alive while locked (an aliasing one), so late work finds both or neither.
class GstSendPath {
  public:
    static constexpr std::int64_t defaultBitrateBps = 2'000'000;
    using Failed = std::function<void(const std::string& message)>;

    // `queue`, `measurements`, `pacing` and `probes` outlive the send path; `failed` tells the
    // stream cannot go on, once.
    GstSendPath(SerialQueue& queue, std::shared_ptr<VideoEncoderFactory> encoderFactory,
                GstSenderMeasurements& measurements, PacingGate& pacing, GstProbeSender& probes,
                std::int64_t maximumBitrateBps, std::optional<ProbingConfiguration> probing,
                Failed failed);

    void bind(std::weak_ptr<GstSendPath> self);
    // Where the access units go; before the first frame.
    void setElements(GstElement* pipeline, GstElement* appsrc);

    // Any thread; the queue applies them.
    void setBitrateBounds(const BitrateBounds& bounds);
    // The sender's own cap, if it set one; read by the queue at once.
    void setBitrateCap(std::optional<std::int64_t> capBps);
    // The source's thread: a slow encoder loses frames here rather than building a backlog.
    void frameArrived(VideoFrame frame, int maximumFramesPerSecond);
    // GStreamer threads.
    void keyframeRequested(bool fullIntraRequest);
    // Takes a window to the estimate on the queue; one from a receiver report only while no
    // transport-wide feedback is negotiated.
    void feedbackArrived(std::optional<BandwidthFeedbackWindow> window, bool receiverReport);
    // What probes carried, as feedback completed them.
    void probesMeasured(std::vector<ProbeResult> results);

    // The queue.
    // False when no encoder starts: the stream failed.
    bool start(const VideoCodecInfo& codec, bool transportFeedback);
    void connectionChanged(bool connected);
    void close();
    // For the transport's destructor, when the queue had no chance to release it.
    std::shared_ptr<VideoEncoder> takeEncoder();

  private:
    void estimateArrived(const BandwidthFeedbackWindow& window);
    void probeIfDue();
    void checkProbesLater();
    void applyEncoderRate();
    void repeatForKeyframe();
    void encodeFrame(VideoFrame frame, int maximumFramesPerSecond);
    bool startEncoder(const VideoFrame& frame, int maximumFramesPerSecond);
    void failStream();
    std::optional<std::int64_t> bitrateCap() const;

    SerialQueue& queue_;
    const std::shared_ptr<VideoEncoderFactory> encoderFactory_;
    GstSenderMeasurements& measurements_;
    PacingGate& pacing_;
    GstProbeSender& probes_;
    const std::int64_t maximumBitrateBps_;
    const Failed failed_;
    std::weak_ptr<GstSendPath> self_;
    std::atomic<int> framesQueued_ = 0;
    mutable std::mutex mutex_;
    std::optional<std::int64_t> capBps_;

    // Queue state.
    std::shared_ptr<VideoEncoder> encoder_;
    // What the running encoder was started or last set to; no width while none runs.
    struct {
        int width = 0;
        int height = 0;
        int framesPerSecond = 0;
        std::uint32_t bitrateKbps = 0;
    } running_;
    BandwidthEstimator estimator_{defaultBitrateBps, maximumBitrateBps_};
    bool estimated_ = false;  // the estimate has taken feedback or a receiver report
    bool connected_ = false;
    bool keyframeNext_ = true;
    bool stopped_ = false;  // the stream failed
    bool transportFeedback_ = false;
    KeyframeRequestLimiter keyframes_;
    std::optional<GstProber> prober_;
    Timer probeCheck_;
    // The last frame sent to the encoder and its rate: a still screen sends no new one, so a
    // keyframe request sends it again.
    std::optional<std::pair<VideoFrame, int>> lastFrame_;
    Timer keyframeRepeat_;
    // The encoder's callback feeds it: on the queue, or on the encoder's own queue when it has
    // one.
    GstAccessUnitFeed feed_{measurements_, pacing_};
};

}  // namespace quillory

#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/webrtc/alr_detector.h"
#include "platform/webrtc/bandwidth_estimator.h"
#include "platform/webrtc/delay_trend_detector.h"
#include "platform/webrtc/gstreamer/sender_statistics.h"
#include "platform/webrtc/probe_results.h"
#include "platform/webrtc/studio_statistics_report.h"
#include "platform/webrtc/transport_feedback_loss.h"

namespace quillory {

// What the sender measures of its own stream, on whichever thread sees it: packets as the
// packetizer emits them and as they leave through the socket, the encoder's frames, the
// receiver's reports and transport-wide feedback; and the statistics report completed with it.
// Thread-safe.
class GstSenderMeasurements {
  public:
    // Set before the first packet; packets of any other SSRC are retransmissions.
    void setMediaSsrc(std::uint32_t ssrc);

    // The packetizer emitted a packet of the buffer's frame.
    void packetized(GstBuffer* buffer, std::int64_t at);
    // Set before the first packet when the sender probes.
    void setApplicationLimitSettings(const ApplicationLimitSettings& settings);
    // A packet left through the socket. A probe packet is padding alone, outside the media
    // stream, with its cluster in the RTP time; it counts towards neither the stream's figures
    // nor the application's use of the estimate.
    void packetLeft(GstBuffer* buffer, std::int64_t at);
    // A receiver report's loss for our stream, with the rate sent since the last one; none when
    // the report says nothing of our stream.
    std::optional<BandwidthFeedbackWindow> receiverReport(GstBuffer* buffer, std::int64_t at);
    // The feedback control information of one transport-wide feedback message; the probes it
    // completes.
    std::vector<ProbeResult> feedbackReceived(GstBuffer* fci);
    // The session's transport-wide feedback statistics; the loss is the feedback's own.
    std::optional<BandwidthFeedbackWindow> feedbackStatistics(GObject* session, std::int64_t at);

    // Runs `change` on the counters under the lock.
    template <typename Change>
    void count(Change&& change) {
        std::lock_guard lock(mutex_);
        change(counters_);
    }

    StudioStatisticsReport complete(StudioStatisticsReport report);

    // The estimate the application's use is measured against, and since when it has used well
    // under it; none while it has not or the sender does not probe.
    void setEstimate(double bitsPerSecond);
    std::optional<std::int64_t> applicationLimitedSince(std::int64_t now);

  private:
    std::mutex mutex_;
    std::uint32_t mediaSsrc_ = 0;
    SenderCounters counters_;
    SenderStatistics statistics_;
    TransportFeedbackLoss feedbackLoss_;
    DelayTrendDetector delayTrend_;
    std::optional<AlrDetector> applicationLimit_;
    ProbeResults probes_;
};

}  // namespace quillory

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "media/studio_adaptation_observation.h"
#include "media/studio_encoder_feedback.h"
#include "media/studio_interval_sampler.h"
#include "media/studio_media_interval.h"
#include "media/studio_operating_point.h"
#include "media/studio_operating_point_policy.h"
#include "media/studio_peer_adaptation.h"
#include "media/studio_peer_connection_watch.h"
#include "media/studio_peer_negotiation.h"
#include "media/studio_peer_sender.h"
#include "media/studio_peer_statistics.h"
#include "media/studio_stream_configuration.h"
#include "platform/clock/clock.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/timer.h"
#include "platform/video/pixel_buffer.h"
#include "platform/video/video_encoder.h"
#include "platform/webrtc/peer_transport.h"
#include "platform/webrtc/peer_transport_factory.h"
#include "protocol/studio_preset.h"
#include "protocol/studio_signal.h"

namespace quillory {

// The Studio sender: offers one send-only screen track, hands over its complete description once
// gathering has finished, applies the tablet's description once, admits captured frames while
// connected, samples statistics every second and, with an encoder factory, runs the operating
// point adaptation on its control queue.
//
// Every operation and callback runs on the main executor; the policy lives on the control queue;
// statistics requests leave from the statistics queue; the frame sink runs on the capture thread.
// Closures hold the peer weakly. A failure closes the peer first, then reports once.
class StudioPeer final : public std::enable_shared_from_this<StudioPeer> {
  public:
    struct Environment {
        std::shared_ptr<PeerTransportFactory> transportFactory;
        std::shared_ptr<Executor> main;
        // "app.quillory.media.adaptation" and "app.quillory.media.statistics" in the product.
        std::shared_ptr<Executor> controlQueue;
        std::shared_ptr<Executor> statisticsQueue;
        std::shared_ptr<Clock> clock;

        // The main queue, the two named serial queues and the system clock.
        static Environment standard(std::shared_ptr<PeerTransportFactory> transportFactory);
    };

    static constexpr const char* trackId = "quillory-display";

    // "sender-drain-target-100ms", built once.
    static const std::string& senderDrainTarget();

    // Builds the peer and its transport and arms the connect timeout. Without an encoder factory
    // the transport's own encoders run and no adaptation policy is made.
    static std::shared_ptr<StudioPeer> create(Environment environment,
                                              std::shared_ptr<VideoEncoderFactory> encoderFactory,
                                              std::string localAddress);

    ~StudioPeer();
    StudioPeer(const StudioPeer&) = delete;
    StudioPeer& operator=(const StudioPeer&) = delete;

    // Callbacks, set by the owner on the main thread; all run there, none after close.
    std::function<void(const std::string& sdp)> onDescription;
    std::function<void(const std::shared_ptr<PeerRemoteVideoTrack>& track)> onTrack;
    std::function<void()> onConnected;
    std::function<void()> onSourceFormatChanged;
    // The completion may be called from any thread, once.
    std::function<void(const StudioOperatingPoint& point, std::function<void(bool)> completion)>
        onOperatingPointChanged;
    std::function<void(bool recovering)> onRecovering;
    std::function<void(const StudioStatisticsReport& report,
                       const std::optional<StudioMediaInterval>& interval)>
        onStatistics;
    std::function<void(const std::string& message)> onFailure;

    void start(int width, int height, StudioPreset preset);
    void apply(const StudioStreamConfiguration& configuration);
    void submit(const StudioEncoderFeedback& feedback,
                const std::optional<StudioMediaInterval>& interval);
    void receive(const StudioSignal& signal);
    // Empty before start and after close.
    StudioFrameSink makeFrameSink() const;
    // One request outside the timer; the completion runs on the main thread unless the peer was
    // closed or the request was interrupted.
    void statistics(std::function<void(const StudioStatisticsReport&)> completion);
    void close();

    bool closed() const { return closed_; }
    bool statisticsPending() const { return statistics_->pending(); }
    bool managesEncoderResolution() const { return managesEncoderResolution_; }
    const std::optional<StudioStreamConfiguration>& streamConfiguration() const {
        return streamConfiguration_;
    }
    // Renewed by every effective apply and by close.
    std::uint64_t configurationToken() const { return configurationToken_; }
    // The adaptation policy; read on the control queue only.
    const std::optional<StudioOperatingPointPolicy>& operatingPolicy() const {
        return adaptation_->policy();
    }

  private:
    class TransportEvents;
    struct Private {};

  public:
    StudioPeer(Private, Environment environment, bool managesEncoderResolution);

  private:
    void fail(const std::string& message);
    void connectionStateChanged(PeerConnectionState state);
    void connected();
    void disconnected();

    void statisticsArrived(const StudioStatisticsReport& report, double receivedAt);

    void operatingPointHandedOff(const StudioOperatingPoint& target,
                                 std::uint64_t configurationToken, std::uint64_t formatToken);
    void operatingPointCompleted(const StudioOperatingPoint& target,
                                 std::uint64_t configurationToken, std::uint64_t formatToken,
                                 bool success);

    const std::shared_ptr<Executor> main_;
    const std::shared_ptr<StudioPeerStatistics> statistics_;
    // Made by create(), which alone can hold the peer weakly.
    std::shared_ptr<StudioPeerAdaptation> adaptation_;
    const std::shared_ptr<PeerTransportFactory> transportFactory_;

    // Main-thread state.
    StudioIntervalSampler sampler_;
    std::shared_ptr<TransportEvents> events_;
    std::shared_ptr<PeerTransport> connection_;
    std::shared_ptr<StudioPeerNegotiation> negotiation_;
    StudioPeerSender sender_;
    bool closed_ = false;
    const std::shared_ptr<StudioPeerConnectionWatch> watch_;
    const bool managesEncoderResolution_;
    std::optional<StudioStreamConfiguration> streamConfiguration_;
    std::uint64_t formatToken_ = 0;
    std::uint64_t configurationToken_ = 1;
};

}  // namespace quillory

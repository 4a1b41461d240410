#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "media/studio_peer.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/manual_executor.h"
#include "platform/webrtc/testing/fake_peer_transport.h"
#include "protocol/testing/sample_sdp.h"

namespace quillory {

// An encoder factory that is only ever passed along.
class UnusedEncoderFactory final : public VideoEncoderFactory {
  public:
    std::vector<VideoCodecInfo> supportedCodecs() const override { return {}; }
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo&) override { return nullptr; }
};

inline StudioSignal studioSignal(StudioSignal::Kind kind, std::optional<std::string> sdp) {
    return StudioSignal{.kind = kind, .sdp = std::move(sdp)};
}

// One peer over a fake transport, every queue on one manual executor over a fake clock. Callbacks
// append to `events` ("description <sdp>", "failure <text>", "recovering 1", "connected", ...);
// operating points and their completions are kept apart.
class StudioPeerFixture : public ::testing::Test {
  public:
    void make(bool withEncoderFactory = true) {
        StudioPeer::Environment environment{
            .transportFactory = factory,
            .main = main,
            .controlQueue = main,
            .statisticsQueue = main,
            .clock = clock,
        };
        peer = StudioPeer::create(
            environment, withEncoderFactory ? std::make_shared<UnusedEncoderFactory>() : nullptr,
            "192.168.1.10");
        transport = factory->last();
        wire();
    }

    void wire() {
        peer->onDescription = [this](const std::string& sdp) { log("description " + sdp); };
        peer->onConnected = [this] { log("connected"); };
        peer->onRecovering = [this](bool on) { log(on ? "recovering 1" : "recovering 0"); };
        peer->onFailure = [this](const std::string& text) { log("failure " + text); };
        peer->onSourceFormatChanged = [this] { log("format"); };
        peer->onTrack = [this](const std::shared_ptr<PeerRemoteVideoTrack>& track) {
            log("track " + track->trackId());
        };
        peer->onStatistics = [this](const StudioStatisticsReport&,
                                    const std::optional<StudioMediaInterval>& interval) {
            log("statistics");
            intervals.push_back(interval);
        };
        peer->onOperatingPointChanged = [this](const StudioOperatingPoint& point,
                                               std::function<void(bool)> completion) {
            points.push_back(point);
            completions.push_back(std::move(completion));
        };
    }

    void log(std::string event) { events.push_back(std::move(event)); }
    void run() { main->runUntilIdle(); }

    void start(int width = 1920, int height = 1080, StudioPreset preset = StudioPreset::balanced) {
        peer->start(width, height, preset);
        run();
    }

    // The offer created and set; gathering still running.
    void describe(const std::string& sdp = "offer-sdp") {
        ASSERT_TRUE(transport->completeCreate(
            SessionDescription{.type = SessionDescription::Type::offer, .sdp = sdp}));
        run();
        ASSERT_TRUE(transport->completeSetLocal());
        run();
    }

    void gather() {
        transport->changeGathering(IceGatheringState::complete);
        run();
    }

    void connection(PeerConnectionState state) {
        transport->changeConnection(state);
        run();
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<ManualExecutor> main = std::make_shared<ManualExecutor>(clock);
    std::shared_ptr<FakePeerTransportFactory> factory =
        std::make_shared<FakePeerTransportFactory>();
    std::shared_ptr<StudioPeer> peer;
    std::shared_ptr<FakePeerTransport> transport;
    std::vector<std::string> events;
    std::vector<std::optional<StudioMediaInterval>> intervals;
    std::vector<StudioOperatingPoint> points;
    std::vector<std::function<void(bool)>> completions;
};

}  // namespace quillory

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "media/interactive_h264_factory.h"
#include "media/studio_playback_policy.h"
#include "media/tests/forwarding_video_encoder.h"
#include "platform/clock/clock.h"
#include "platform/video/pixel_buffer.h"
#include "platform/webrtc/gstreamer/gst_peer_transport_factory.h"
#include "platform/webrtc/gstreamer/video_receiver.h"

namespace quillory {
namespace {

// What the test waits on, filled from GStreamer threads and the transport's queue.
struct Ledger {
    std::mutex mutex;
    std::condition_variable changed;
    // Encoders made and not released since (or since their last start), and encoders alive.
    int unreleased = 0;
    int alive = 0;
    // The transport holds its encoder factory until it is destroyed.
    bool factoryGone = false;
    bool connected = false;
    std::optional<std::string> offer;
    int decoded = 0;

    void note(const std::function<void()>& change) {
        std::lock_guard lock(mutex);
        change();
        changed.notify_all();
    }
    bool waitFor(const std::function<bool()>& predicate, double seconds) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::duration<double>(seconds), predicate);
    }
};

class LedgerEncoder final : public ForwardingVideoEncoder {
  public:
    LedgerEncoder(std::shared_ptr<VideoEncoder> inner, std::shared_ptr<Ledger> ledger)
        : ForwardingVideoEncoder(std::move(inner)), ledger_(std::move(ledger)) {
        ledger_->note([&] {
            ++ledger_->unreleased;
            ++ledger_->alive;
        });
    }
    ~LedgerEncoder() override {
        ledger_->note([&] { --ledger_->alive; });
    }
    int startEncode(const VideoEncoderSettings& settings) override {
        ledger_->note([&] {
            if (std::exchange(released_, false)) {
                ++ledger_->unreleased;
            }
        });
        return ForwardingVideoEncoder::startEncode(settings);
    }
    int releaseEncoder() override {
        ledger_->note([&] {
            if (!std::exchange(released_, true)) {
                --ledger_->unreleased;
            }
        });
        return ForwardingVideoEncoder::releaseEncoder();
    }

  private:
    const std::shared_ptr<Ledger> ledger_;
    bool released_ = false;
};

class LedgerEncoderFactory final : public VideoEncoderFactory {
  public:
    explicit LedgerEncoderFactory(std::shared_ptr<Ledger> ledger) : ledger_(std::move(ledger)) {}
    ~LedgerEncoderFactory() override {
        ledger_->note([&] { ledger_->factoryGone = true; });
    }
    std::vector<VideoCodecInfo> supportedCodecs() const override {
        return InteractiveH264Factory::codecList();
    }
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override {
        auto inner = inner_.createEncoder(info);
        return inner ? std::make_shared<LedgerEncoder>(std::move(inner), ledger_) : nullptr;
    }

  private:
    const std::shared_ptr<Ledger> ledger_;
    InteractiveH264Factory inner_;
};

class LedgerDelegate final : public PeerTransportDelegate {
  public:
    explicit LedgerDelegate(std::shared_ptr<Ledger> ledger) : ledger_(std::move(ledger)) {}
    void iceGatheringStateChanged(IceGatheringState) override {}
    void connectionStateChanged(PeerConnectionState state) override {
        if (state == PeerConnectionState::connected) {
            ledger_->note([&] { ledger_->connected = true; });
        }
    }
    void dataChannelOpened(std::shared_ptr<PeerDataChannel>) override {}
    void remoteTrackAdded(std::shared_ptr<PeerRemoteVideoTrack>) override {}
    void transportFailed(const std::string&) override {}

  private:
    const std::shared_ptr<Ledger> ledger_;
};

enum class Stop { beforeTheAnswer, whileTheAnswerIsApplied, afterConnected };

// The webrtcbin transport closed at one step of the start, as the session stops it: nothing it
// started may outlive the close.
class StudioTransportStopTest : public ::testing::TestWithParam<Stop> {
  public:
    void SetUp() override {
        factory->setUp({});
        ledger = std::make_shared<Ledger>();
        transport =
            factory->createTransport(PeerTransportConfiguration{.localAddress = "127.0.0.1"},
                                     std::make_shared<LedgerEncoderFactory>(ledger),
                                     std::make_shared<LedgerDelegate>(ledger));
        ASSERT_TRUE(transport);
    }

    void TearDown() override {
        if (receiver) {
            receiver->close();
        }
    }

    void offer() {
        source = transport->addVideoTrack("quillory-display", [](int w, int h, int, int) {
            return VideoSourceFit{.cropWidth = w, .cropHeight = h, .width = w, .height = h};
        });
        ASSERT_TRUE(source);
        transport->setBitrateBounds({.currentBps = 2'000'000, .maximumBps = 16'000'000});
        transport->createOffer([this](std::optional<SessionDescription> created, std::string) {
            ASSERT_TRUE(created);
            transport->setLocalDescription(*created, [this](std::string error) {
                EXPECT_EQ(error, "");
                ledger->note([&] { ledger->offer = transport->localDescription()->sdp; });
            });
        });
        ASSERT_TRUE(ledger->waitFor([&] { return ledger->offer.has_value(); }, 10));
    }

    std::string answer() {
        receiver = VideoReceiver::create("127.0.0.1", InteractiveH264Factory::codecList(),
                                         [](const VideoReceiver::Frame&) {});
        EXPECT_TRUE(receiver);
        std::optional<std::string> sdp;
        bool done = false;
        receiver->answer(*ledger->offer, [&](std::optional<std::string> answered, std::string) {
            ledger->note([&] {
                sdp = std::move(answered);
                done = true;
            });
        });
        EXPECT_TRUE(ledger->waitFor([&] { return done; }, 10));
        return sdp.value_or("");
    }

    void applyAnswer(const std::string& sdp) {
        transport->setRemoteDescription(
            SessionDescription{.type = SessionDescription::Type::answer, .sdp = sdp},
            [](std::string error) { EXPECT_EQ(error, ""); });
    }

    std::shared_ptr<PeerTransportFactory> factory =
        std::make_shared<GstPeerTransportFactory>(std::make_shared<InteractiveH264Factory>());
    std::shared_ptr<Ledger> ledger;
    std::shared_ptr<PeerTransport> transport;
    std::shared_ptr<PeerVideoSource> source;
    std::shared_ptr<VideoReceiver> receiver;
};

TEST_P(StudioTransportStopTest, NothingStartedOutlivesTheClose) {
    offer();
    if (HasFatalFailure()) {
        return;
    }
    if (GetParam() != Stop::beforeTheAnswer) {
        const std::string sdp = answer();
        ASSERT_FALSE(sdp.empty());
        applyAnswer(sdp);
    }
    if (GetParam() == Stop::afterConnected) {
        ASSERT_TRUE(ledger->waitFor([&] { return ledger->connected; }, 10));
        source->adaptOutputFormat(640, 360, 30);
        auto pool = PixelBufferPool::create(640, 360, 4);
        // Frames reach the encoder from the transport's queue; the first starts it.
        for (int frame = 0; frame < 3; ++frame) {
            if (auto buffer = pool->take()) {
                source->deliverFrame(buffer, static_cast<std::int64_t>(uptimeNanoseconds()));
            }
        }
    }
    transport->close();
    // While the transport is still held, whatever its queue started is released there.
    EXPECT_TRUE(ledger->waitFor([&] { return ledger->unreleased == 0; }, 5))
        << ledger->unreleased << " encoders not released";
    transport.reset();
    source.reset();
    EXPECT_TRUE(ledger->waitFor([&] { return ledger->factoryGone && ledger->alive == 0; }, 5))
        << "transport gone " << ledger->factoryGone << ", encoders alive " << ledger->alive;
}

// Without a known link address every local address gathers, not loopback alone; an address no
// interface has gives no candidate, and the description, though applied, is never complete, so
// none goes to the tablet and the connect timeout tells.
TEST(StudioTransportGatheringTest, GathersWhereTheTabletCanReach) {
    struct Case {
        const char* localAddress;
        IceGatheringState gathering;
    };
    auto factory =
        std::make_shared<GstPeerTransportFactory>(std::make_shared<InteractiveH264Factory>());
    for (const Case& c : {Case{"", IceGatheringState::complete},
                          Case{"198.51.100.1", IceGatheringState::gathering}}) {
        SCOPED_TRACE(c.localAddress);
        auto ledger = std::make_shared<Ledger>();
        auto transport =
            factory->createTransport(PeerTransportConfiguration{.localAddress = c.localAddress},
                                     std::make_shared<LedgerEncoderFactory>(ledger),
                                     std::make_shared<LedgerDelegate>(ledger));
        ASSERT_TRUE(transport);
        ASSERT_TRUE(transport->addVideoTrack("quillory-display", {}));
        std::optional<std::string> error;
        transport->createOffer([&](std::optional<SessionDescription> created, std::string) {
            ASSERT_TRUE(created);
            transport->setLocalDescription(
                *created, [&](std::string applied) { ledger->note([&] { error = applied; }); });
        });
        ASSERT_TRUE(ledger->waitFor([&] { return error.has_value(); }, 10));
        EXPECT_EQ(*error, "");
        EXPECT_EQ(transport->iceGatheringState(), c.gathering);
        if (c.gathering == IceGatheringState::complete) {
            const std::string sdp = transport->localDescription()->sdp;
            EXPECT_THAT(sdp, ::testing::HasSubstr("a=candidate:"));
            EXPECT_THAT(sdp, ::testing::Not(::testing::HasSubstr(" 127.0.0.1 ")));
        }
        transport->close();
    }
}

// A tablet that offers is answered, and the answering side sends as an offering one would.
TEST(StudioTransportAnswerTest, TheAnsweringSideSendsWhatItEncodes) {
    auto factory =
        std::make_shared<GstPeerTransportFactory>(std::make_shared<InteractiveH264Factory>());
    factory->setUp({});
    auto ledger = std::make_shared<Ledger>();
    auto transport = factory->createTransport(
        PeerTransportConfiguration{.localAddress = "127.0.0.1"},
        std::make_shared<LedgerEncoderFactory>(ledger), std::make_shared<LedgerDelegate>(ledger));
    ASSERT_TRUE(transport);
    auto source = transport->addVideoTrack("quillory-display", [](int w, int h, int, int) {
        return VideoSourceFit{.cropWidth = w, .cropHeight = h, .width = w, .height = h};
    });
    ASSERT_TRUE(source);
    auto receiver = VideoReceiver::create(
        "127.0.0.1", InteractiveH264Factory::codecList(),
        [ledger](const VideoReceiver::Frame&) { ledger->note([&] { ++ledger->decoded; }); });
    ASSERT_TRUE(receiver);

    std::optional<std::string> offer;
    receiver->offer([&](std::optional<std::string> sdp, std::string error) {
        EXPECT_EQ(error, "");
        ledger->note([&] { offer = sdp.value_or(""); });
    });
    ASSERT_TRUE(ledger->waitFor([&] { return offer.has_value(); }, 10));
    std::optional<std::string> answer;
    transport->setRemoteDescription(
        SessionDescription{.type = SessionDescription::Type::offer, .sdp = *offer},
        [&](std::string error) {
            EXPECT_EQ(error, "");
            transport->createAnswer([&](std::optional<SessionDescription> created, std::string) {
                ASSERT_TRUE(created);
                transport->setLocalDescription(*created, [&](std::string applied) {
                    EXPECT_EQ(applied, "");
                    ledger->note([&] { answer = transport->localDescription()->sdp; });
                });
            });
        });
    ASSERT_TRUE(ledger->waitFor([&] { return answer.has_value(); }, 10));
    std::optional<std::string> accepted;
    receiver->acceptAnswer(
        *answer, [&](std::string error) { ledger->note([&] { accepted = std::move(error); }); });
    ASSERT_TRUE(ledger->waitFor([&] { return accepted.has_value() && ledger->connected; }, 10));
    EXPECT_EQ(*accepted, "");

    source->adaptOutputFormat(640, 360, 30);
    auto pool = PixelBufferPool::create(640, 360, 4);
    // Each frame waits a frame interval for a picture at the other end, as a screen would.
    bool decoded = false;
    for (int frame = 0; frame < 150 && !decoded; ++frame) {
        if (auto buffer = pool->take()) {
            source->deliverFrame(buffer, static_cast<std::int64_t>(uptimeNanoseconds()));
        }
        decoded = ledger->waitFor([&] { return ledger->decoded > 0; }, 1.0 / 30);
    }
    EXPECT_TRUE(decoded);
    transport->close();
    receiver->close();
}

// The transport reads its factory maximum from the field trial the policy writes.
TEST(StudioTransportFieldTrialsTest, TheFactoryMaximumIsThePolicysLargestPresetRate) {
    EXPECT_EQ(factoryMaximumBitrateBps(StudioPlaybackPolicy::fieldTrials()),
              StudioPlaybackPolicy::senderFactoryMaximumBitrateBps());
    EXPECT_FALSE(factoryMaximumBitrateBps({}));
    EXPECT_FALSE(factoryMaximumBitrateBps({{"WebRTC-PcFactoryDefaultBitrates", "max:28Mbps"}}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, StudioTransportStopTest,
                         ::testing::Values(Stop::beforeTheAnswer, Stop::whileTheAnswerIsApplied,
                                           Stop::afterConnected),
                         [](const ::testing::TestParamInfo<Stop>& step) {
                             switch (step.param) {
                                 case Stop::beforeTheAnswer:
                                     return std::string("BeforeTheAnswer");
                                 case Stop::whileTheAnswerIsApplied:
                                     return std::string("WhileTheAnswerIsApplied");
                                 case Stop::afterConnected:
                                     return std::string("AfterConnected");
                             }
                             return std::string();
                         });

}  // namespace
}  // namespace quillory

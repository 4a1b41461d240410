#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <span>

#include "media/studio_performance.h"
#include "media/studio_source_size.h"
#include "media/tests/forwarding_video_encoder.h"
#include "media/tests/studio_loopback_fixture.h"
#include "protocol/studio_signal.h"

namespace quillory {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using StudioLoopbackTest = StudioLoopbackFixture;

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(StudioLoopbackTest, OfferCarriesOneSendOnlyVideoSectionWithBothEntries) {
    makePeer();
    start();
    ASSERT_TRUE(offer);
    const std::string& sdp = *offer;
    EXPECT_TRUE(isValidStudioSDP(sdp)) << sdp;
    EXPECT_EQ(countOf(sdp, "m=video "), 1);
    EXPECT_EQ(countOf(sdp, "m="), 1);
    EXPECT_THAT(sdp, HasSubstr("m=video 9 UDP/TLS/RTP/SAVPF 96 97"));
    EXPECT_THAT(sdp, HasSubstr("a=sendonly\r\n"));
    EXPECT_THAT(sdp, HasSubstr("a=fmtp:96 level-asymmetry-allowed=1;packetization-mode=1;"
                               "profile-level-id=640c34\r\n"));
    EXPECT_THAT(sdp, HasSubstr("a=fmtp:97 level-asymmetry-allowed=1;packetization-mode=1;"
                               "profile-level-id=42e034\r\n"));
    EXPECT_THAT(sdp, HasSubstr("a=extmap:1 http://www.ietf.org/id/"
                               "draft-holmer-rmcat-transport-wide-cc-extensions-01\r\n"));
    EXPECT_THAT(sdp, HasSubstr("a=rtcp-fb:96 transport-cc\r\n"));
    EXPECT_THAT(sdp, HasSubstr("a=rtcp-mux-only\r\n"));
    EXPECT_THAT(sdp, HasSubstr(" msid:quillory-display quillory-display\r\n"));
    EXPECT_EQ(countOf(sdp, "a=candidate:"), 1);
    EXPECT_THAT(sdp, HasSubstr(" UDP "));
    EXPECT_THAT(sdp, HasSubstr(" 127.0.0.1 "));
    EXPECT_THAT(sdp, HasSubstr(" typ host"));
    EXPECT_THAT(sdp, Not(HasSubstr("TCP")));
}

TEST_F(StudioLoopbackTest, AnswersWithoutOurH264FailAtOnceAndNothingIsSent) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> rewrite;
    };
    const Case cases[] = {
        {"VP8 only",
         [](const std::string& answer) {
             std::string sdp = std::regex_replace(
                 answer, std::regex("m=video 9 UDP/TLS/RTP/SAVPF[ 0-9]*\r\n"),
                 "m=video 9 UDP/TLS/RTP/SAVPF 100\r\na=rtpmap:100 VP8/90000\r\n");
             return std::regex_replace(sdp, std::regex("a=(rtpmap|fmtp|rtcp-fb):9[0-9][^\r]*\r\n"),
                                       "");
         }},
        {"garbage",
         [](const std::string& answer) {
             return std::regex_replace(answer, std::regex("m=video 9 UDP/TLS/RTP/SAVPF[ 0-9]*\r\n"),
                                       "m=video 9 UDP/TLS/RTP/SAVPF x96 %%\r\n");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makePeer();
        start();
        const std::string answer = c.rewrite(answerOffer());
        const StudioSignal signal{.kind = StudioSignal::Kind::answer, .sdp = answer};
        ASSERT_TRUE(signal.isValid()) << answer;
        deliverAnswer(answer);
        ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 2));
        EXPECT_EQ(failures.front(), "Could not negotiate the display stream.");
        StudioFrameSink sink;
        runOnMain([&] { sink = peer->makeFrameSink(); });
        EXPECT_FALSE(sink);
        EXPECT_FALSE(waitFor([this] { return connected || !frames.empty(); }, 1));
        runOnMain([this] { peer.reset(); });
        receiver->close();
        receiver.reset();
        std::lock_guard lock(mutex);
        offer.reset();
        failures.clear();
    }
}

// Lists the Studio codecs but makes no encoder.
class NoEncoderFactory final : public VideoEncoderFactory {
  public:
    std::vector<VideoCodecInfo> supportedCodecs() const override {
        return InteractiveH264Factory::codecList();
    }
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo&) override { return nullptr; }
};

TEST_F(StudioLoopbackTest, WithoutAnEncoderTheStreamFails) {
    makePeer(std::make_shared<NoEncoderFactory>());
    start();
    deliverAnswer(answerOffer());
    ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 5));
    EXPECT_EQ(failures.front(), "Could not start the video encoder.");
}

// The Studio encoder that refuses one frame: the `refused`th after each start, or every
// frame once `always` is set.
class RefusingEncoderFactory final : public VideoEncoderFactory {
  public:
    RefusingEncoderFactory(int refused, bool always) : refused_(refused), always_(always) {}
    std::vector<VideoCodecInfo> supportedCodecs() const override {
        return InteractiveH264Factory::codecList();
    }
    std::shared_ptr<VideoEncoder> createEncoder(const VideoCodecInfo& info) override {
        return std::make_shared<Refusing>(InteractiveH264Factory().createEncoder(info), this);
    }
    std::atomic<int> starts = 0;

  private:
    struct Refusing final : ForwardingVideoEncoder {
        Refusing(std::shared_ptr<VideoEncoder> encoder, RefusingEncoderFactory* factory)
            : ForwardingVideoEncoder(std::move(encoder)), owner(factory) {}
        int startEncode(const VideoEncoderSettings& settings) override {
            ++owner->starts;
            encoded = 0;
            return ForwardingVideoEncoder::startEncode(settings);
        }
        int encode(const VideoFrame& frame, const H264CodecSpecificInfo* codecInfo,
                   std::span<const VideoFrameType> types) override {
            if (++encoded == owner->refused_ && (owner->always_ || owner->starts == 1)) {
                return videoCodecError;
            }
            return ForwardingVideoEncoder::encode(frame, codecInfo, types);
        }
        RefusingEncoderFactory* owner;
        int encoded = 0;
    };
    const int refused_;
    const bool always_;
};

// A refused frame restarts the encoder and the picture resumes with a keyframe; an encoder that
// refuses its first frame after a start cannot encode, and the stream fails.
TEST_F(StudioLoopbackTest, AnEncoderThatRefusesAFrameStartsAfresh) {
    const struct {
        int refused;
        bool always;
        bool fails;
    } cases[] = {{30, false, false}, {1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        const auto factory = std::make_shared<RefusingEncoderFactory>(c.refused, c.always);
        makePeer(factory);
        connect();
        if (HasFatalFailure()) {
            return;
        }
        startSource();
        if (c.fails) {
            ASSERT_TRUE(waitFor([this] { return !failures.empty(); }, 5));
            EXPECT_EQ(failures.front(), "Could not start the video encoder.");
        } else {
            ASSERT_TRUE(waitFor([this] { return frames.size() >= 60; }, 10));
            std::lock_guard lock(mutex);
            EXPECT_EQ(factory->starts, 2);
            EXPECT_GE(std::count_if(frames.begin(), frames.end(),
                                    [](const Received& frame) { return frame.keyframe; }),
                      2);
            EXPECT_THAT(failures, ::testing::IsEmpty());
        }
        endStream();
        std::lock_guard lock(mutex);
        failures.clear();
    }
}

TEST_F(StudioLoopbackTest, BarcodedFramesArriveInOrder) {
    const std::int64_t begun = static_cast<std::int64_t>(uptimeNanoseconds());
    makePeer();
    start();
    const std::int64_t offered = static_cast<std::int64_t>(uptimeNanoseconds());
    deliverAnswer(answerOffer());
    ASSERT_TRUE(waitFor([this] { return connected || !failures.empty(); }, 15));
    ASSERT_TRUE(connected) << failures.front();
    startSource();
    ASSERT_TRUE(waitFor([this] { return sent >= 120; }, 10));
    stopSource();
    waitFor([this] { return frames.size() >= sent; }, 2);

    std::lock_guard lock(mutex);
    ASSERT_FALSE(frames.empty());
    RecordProperty("startToOfferMS", static_cast<int>((offered - begun) / 1'000'000));
    RecordProperty("startToFirstFrameMS",
                   static_cast<int>((frames.front().decodedAt - begun) / 1'000'000));
    EXPECT_GE(frames.size() * 100, sent * 95u) << frames.size() << " of " << sent;
    EXPECT_TRUE(frames.front().keyframe);
    std::optional<std::uint32_t> last;
    int unread = 0;
    for (const Received& frame : frames) {
        EXPECT_EQ(frame.width, width);
        EXPECT_EQ(frame.height, height);
        if (!frame.barcode) {
            ++unread;
            continue;
        }
        if (last) {
            EXPECT_GT(*frame.barcode, *last);
        }
        last = frame.barcode;
    }
    EXPECT_LE(unread, 2);
    EXPECT_THAT(failures, ::testing::IsEmpty());
}

// A frame that comes late is no lost packet: the receiver waits for gaps only, so the picture
// after a pause decodes whole and no request goes out.
TEST_F(StudioLoopbackTest, FramesAfterAPauseDecodeWholeWithoutKeyframeRequests) {
    sourceStallEvery = 10;
    sourceStall = std::chrono::milliseconds(150);
    configureReceiver = [](VideoReceiver& configured) { configured.askForKeyframesOnLoss(); };
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    ASSERT_TRUE(waitFor([this] { return sent >= 60; }, 10));
    stopSource();
    // Counters the pool had no buffer for were never sent.
    const auto handed = [this] {
        return static_cast<std::size_t>(
            std::count_if(sinkTimes.begin(), sinkTimes.end(), [](auto at) { return at != 0; }));
    };
    waitFor([&] { return frames.size() >= handed(); }, 2);

    std::lock_guard lock(mutex);
    EXPECT_EQ(frames.size(), handed());
    const auto unread = std::count_if(frames.begin(), frames.end(),
                                      [](const Received& frame) { return !frame.barcode; });
    EXPECT_EQ(unread, 0);
    EXPECT_EQ(receiver->pictureLossRequests(), 0u);
}

TEST_F(StudioLoopbackTest, UnusualAnswersStillConnectAndGetFrames) {
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> rewrite;
    };
    const Case cases[] = {
        // Connectivity then runs on peer-reflexive candidates.
        {"no candidate lines",
         [](const std::string& answer) {
             return std::regex_replace(answer,
                                       std::regex("a=(candidate|end-of-candidates)[^\r]*\r\n"), "");
         }},
        // A level-only difference must still find an encoder.
        {"level 3.1",
         [](const std::string& answer) {
             return std::regex_replace(answer, std::regex("profile-level-id=[0-9a-f]{6}"),
                                       "profile-level-id=42e01f");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makePeer();
        start();
        deliverAnswer(c.rewrite(answerOffer()));
        ASSERT_TRUE(waitFor([this] { return connected || !failures.empty(); }, 15));
        ASSERT_TRUE(connected) << failures.front();
        startSource();
        EXPECT_TRUE(waitFor([this] { return frames.size() >= 15; }, 5));
        endStream();
        std::lock_guard lock(mutex);
        EXPECT_THAT(failures, ::testing::IsEmpty());
    }
}

TEST_F(StudioLoopbackTest, KeyframeRequestsGiveAtMostOneIdrPer300Milliseconds) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    ASSERT_TRUE(waitFor([this] { return frames.size() >= 30; }, 5));

    std::size_t requestedAt = 0;
    {
        std::lock_guard lock(mutex);
        requestedAt = frames.size();
    }
    const std::int64_t firstRequest = static_cast<std::int64_t>(uptimeNanoseconds());
    receiver->requestKeyframe();
    // The receiver's loss indication waits for its next regular RTCP (its early-feedback
    // allowance goes to transport-wide feedback), up to about 400 ms; the sender then makes the
    // next frame an IDR.
    const auto keyframeSince = [&](std::size_t from) {
        return std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(from), frames.end(),
                            [](const Received& frame) { return frame.keyframe; });
    };
    ASSERT_TRUE(waitFor([&] { return keyframeSince(requestedAt) != frames.end(); }, 2));
    {
        std::lock_guard lock(mutex);
        EXPECT_LT(keyframeSince(requestedAt)->decodedAt - firstRequest, 600'000'000);
    }

    // Ten requests within a second: one every third decoded frame.
    ASSERT_TRUE(waitFor([&] { return frames.size() >= requestedAt + 15; }, 2));
    std::size_t burstStart = 0;
    std::int64_t lastRequest = 0;
    for (int request = 0; request < 10; ++request) {
        std::size_t now = 0;
        {
            std::lock_guard lock(mutex);
            now = frames.size();
            if (request == 0) {
                burstStart = now;
            }
        }
        receiver->requestKeyframe();
        lastRequest = static_cast<std::int64_t>(uptimeNanoseconds());
        ASSERT_TRUE(waitFor([&] { return frames.size() >= now + 3; }, 2));
    }
    ASSERT_TRUE(waitFor([&] { return frames.size() >= burstStart + 30 + 15; }, 3));
    stopSource();

    std::size_t still = 0;
    {
        std::lock_guard lock(mutex);
        std::vector<std::int64_t> keyframes;
        for (std::size_t index = burstStart; index < frames.size(); ++index) {
            if (frames[index].keyframe) {
                keyframes.push_back(frames[index].decodedAt);
            }
        }
        ASSERT_GE(keyframes.size(), 2u);
        EXPECT_LE(keyframes.size(), 5u);
        for (std::size_t index = 1; index < keyframes.size(); ++index) {
            // 300 ms between forced IDRs, less the decoder's timing noise.
            EXPECT_GE(keyframes[index] - keyframes[index - 1], 250'000'000);
        }
        EXPECT_GT(keyframes.back(), lastRequest) << "the last request was not served";
        still = frames.size();
    }

    // A still screen sends no frame: the last picture goes again as the IDR.
    receiver->requestKeyframe();
    EXPECT_TRUE(waitFor(
        [&] {
            for (std::size_t index = std::max<std::size_t>(still, 1); index < frames.size();
                 ++index) {
                if (frames[index].keyframe && frames[index].barcode == frames[index - 1].barcode) {
                    return true;
                }
            }
            return false;
        },
        2))
        << "no IDR of the last picture on a still screen";
}

TEST_F(StudioLoopbackTest, AppliedSizeIsDecodedExactlyAndCountersSurviveTheRestart) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    ASSERT_TRUE(waitFor([this] { return reports.size() >= 2; }, 5));
    std::string idBefore;
    double encodedBefore = 0;
    const auto outbound = [](const StudioStatisticsReport& report) {
        for (const StudioStatistics& entry : report.statistics) {
            if (entry.type == "outbound-rtp") {
                return entry;
            }
        }
        return StudioStatistics{};
    };
    {
        std::lock_guard lock(mutex);
        const StudioStatistics entry = outbound(reports.back());
        idBefore = entry.id;
        encodedBefore = std::get<double>(entry.values.at("framesEncoded"));
    }
    const StudioSourceSize expected = StudioSourceSize::fitted(width, height, 800, 600);
    runOnMain([this] {
        peer->apply(StudioStreamConfiguration{
            .preset = StudioPreset::balanced, .width = 800, .height = 600});
    });
    ASSERT_TRUE(waitFor(
        [&] {
            return std::count_if(frames.begin(), frames.end(), [&](const Received& frame) {
                       return frame.width == expected.width && frame.height == expected.height;
                   }) >= 30;
        },
        5));
    const std::size_t reportsNow = reports.size();
    ASSERT_TRUE(waitFor([&] { return reports.size() >= reportsNow + 1; }, 3));
    stopSource();

    std::lock_guard lock(mutex);
    const StudioStatistics after = outbound(reports.back());
    EXPECT_EQ(after.id, idBefore);
    EXPECT_GE(std::get<double>(after.values.at("framesEncoded")), encodedBefore + 30);
    EXPECT_EQ(std::get<double>(after.values.at("frameWidth")), expected.width);
    bool sawExpected = false;
    for (const Received& frame : frames) {
        sawExpected = sawExpected || (frame.width == expected.width);
        if (sawExpected) {
            EXPECT_EQ(frame.width, expected.width);
            EXPECT_EQ(frame.height, expected.height);
        }
    }
}

TEST_F(StudioLoopbackTest, StatisticsGiveIntervalsRouteCodecAndRoundTrip) {
    makePeer();
    connect();
    if (HasFatalFailure()) {
        return;
    }
    startSource();
    // A loaded machine can hold the receiver's first report block back past five reports.
    const auto remoteInboundArrived = [this] {
        return std::any_of(reports.begin(), reports.end(), [](const StudioStatisticsReport& r) {
            return std::any_of(
                r.statistics.begin(), r.statistics.end(),
                [](const StudioStatistics& e) { return e.type == "remote-inbound-rtp"; });
        });
    };
    ASSERT_TRUE(waitFor([&] { return reports.size() >= 5 && remoteInboundArrived(); }, 20));
    stopSource();

    std::lock_guard lock(mutex);
    StudioPerformance performance(Uuid::random(), "sender", std::nullopt, 16, {});
    for (const StudioStatisticsReport& report : reports) {
        performance.parseStatistics(report, {});
    }
    EXPECT_FALSE(performance.samples().empty());
    const auto& configuration = performance.configuration();
    EXPECT_EQ(configuration.at("negotiatedCodec"), "video/H264");
    EXPECT_EQ(configuration.at("localMediaCandidateType"), "host");
    EXPECT_EQ(configuration.at("remoteMediaProtocol"), "udp");

    // The first interval may straddle the start; the later ones run at the source's rate.
    int checked = 0;
    for (std::size_t index = 2; index < intervals.size(); ++index) {
        ASSERT_TRUE(intervals[index]) << index;
        const StudioMediaInterval& interval = *intervals[index];
        EXPECT_NEAR(interval.fps, framesPerSecond, framesPerSecond * 0.05) << index;
        EXPECT_TRUE(interval.meanQP);
        EXPECT_TRUE(interval.queueMS);
        EXPECT_TRUE(interval.retransmissionFraction);
        ++checked;
    }
    EXPECT_GE(checked, 2);

    // Absent until a receiver report echoes a sender report, never 0. The receiver's reports
    // carry a block for our stream, so the remote inbound entry is there.
    int withRoundTrip = 0;
    int remoteInbound = 0;
    for (const StudioStatisticsReport& report : reports) {
        for (const StudioStatistics& entry : report.statistics) {
            remoteInbound += entry.type == "remote-inbound-rtp" ? 1 : 0;
            if (entry.type == "remote-inbound-rtp" && entry.values.contains("roundTripTime")) {
                EXPECT_GT(std::get<double>(entry.values.at("roundTripTime")), 0);
            }
            if (entry.type == "candidate-pair" && entry.values.contains("currentRoundTripTime")) {
                EXPECT_GT(std::get<double>(entry.values.at("currentRoundTripTime")), 0);
                ++withRoundTrip;
            }
        }
    }
    EXPECT_GE(remoteInbound, 1);
    RecordProperty("reportsWithRoundTrip", withRoundTrip);
}

}  // namespace
}  // namespace quillory

#include "platform/webrtc/gstreamer/sdp_video_answer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/webrtc/gstreamer/gathering_address.h"

namespace quillory {
namespace {

const std::vector<OfferedVideoCodec> offered = offeredVideoCodecs({
    {"H264", {{"profile-level-id", "640c34"}, {"packetization-mode", "1"}}},
    {"VP8", {}},
    {"H264", {{"profile-level-id", "42e034"}, {"packetization-mode", "1"}}},
});

std::string answerWith(const std::string& media) {
    return "v=0\r\no=- 1 0 IN IP4 0.0.0.0\r\ns=-\r\nt=0 0\r\n" + media;
}

TEST(SdpVideoAnswerTest, OnlyH264EntriesAreNumberedFrom96) {
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].payloadType, 96);
    EXPECT_EQ(offered[1].payloadType, 97);
    EXPECT_EQ(offered[1].codec.parameters.at("profile-level-id"), "42e034");
}

TEST(SdpVideoAnswerTest, TheFirstOfferedH264PayloadTypeOfTheAnswerIsChosen) {
    struct Case {
        const char* name;
        std::string media;
        int payloadType;
        std::string profileLevelId;
        bool transportFeedback;
    };
    const Case cases[] = {
        {"answer order wins",
         "m=video 9 UDP/TLS/RTP/SAVPF 97 96\r\na=rtpmap:96 H264/90000\r\n"
         "a=rtpmap:97 H264/90000\r\na=fmtp:97 profile-level-id=42e01f;packetization-mode=1\r\n"
         "a=rtcp-fb:97 transport-cc\r\n",
         97, "42e01f", true},
        {"profile filled in from the offer",
         "m=video 9 UDP/TLS/RTP/SAVPF 96\r\na=rtpmap:96 h264/90000\r\n"
         "a=fmtp:96 packetization-mode=1\r\n",
         96, "640c34", false},
        {"foreign payload types skipped",
         "m=video 9 UDP/TLS/RTP/SAVPF 100 96\r\na=rtpmap:100 VP8/90000\r\n"
         "a=rtpmap:96 H264/90000\r\n",
         96, "640c34", false},
        {"our number, other codec, skipped",
         "m=video 9 UDP/TLS/RTP/SAVPF 96 97\r\na=rtpmap:96 VP8/90000\r\n"
         "a=rtpmap:97 H264/90000\r\n",
         97, "42e034", false},
        {"later sections ignored",
         "m=video 9 UDP/TLS/RTP/SAVPF 96\r\na=rtpmap:96 H264/90000\r\n"
         "m=application 9 UDP/DTLS/SCTP webrtc-datachannel\r\na=fmtp:96 "
         "profile-level-id=000000\r\n",
         96, "640c34", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SdpVideoAnswerResult result = readSdpVideoAnswer(answerWith(c.media), offered);
        ASSERT_TRUE(result.answer) << result.error;
        EXPECT_EQ(result.answer->offered.payloadType, c.payloadType);
        EXPECT_EQ(result.answer->answered.name, "H264");
        EXPECT_EQ(result.answer->answered.parameters.at("profile-level-id"), c.profileLevelId);
        EXPECT_EQ(result.answer->transportFeedback, c.transportFeedback);
    }
}

TEST(SdpVideoAnswerTest, AnswersWithoutOurH264AreRefused) {
    const std::string refused[] = {
        answerWith("m=video 9 UDP/TLS/RTP/SAVPF 100\r\na=rtpmap:100 VP8/90000\r\n"),
        answerWith("m=video 9 UDP/TLS/RTP/SAVPF 96\r\na=rtpmap:96 VP8/90000\r\n"),
        answerWith("m=video 9 UDP/TLS/RTP/SAVPF 98\r\na=rtpmap:98 H264/90000\r\n"),
        answerWith("m=video 9 UDP/TLS/RTP/SAVPF x96\r\na=rtpmap:96 H264/90000\r\n"),
        answerWith("m=video 9 UDP/TLS/RTP/SAVPF 300\r\n"),
        answerWith("m=audio 9 UDP/TLS/RTP/SAVPF 96\r\na=rtpmap:96 H264/90000\r\n"),
        "garbage\r\nm=video 9 UDP/TLS/RTP/SAVPF 96\r\na=rtpmap:96 H264/90000\r\n",
        "",
    };
    for (const std::string& sdp : refused) {
        SCOPED_TRACE(sdp);
        const SdpVideoAnswerResult result = readSdpVideoAnswer(sdp, offered);
        EXPECT_FALSE(result.answer);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(SdpVideoAnswerTest, ProfileLevelIdsBecomeGStreamerNames) {
    struct Case {
        const char* id;
        std::optional<H264ProfileLevel> expected;
    };
    const Case cases[] = {
        {"640c34", H264ProfileLevel{"constrained-high", "5.2"}},
        {"42e034", H264ProfileLevel{"constrained-baseline", "5.2"}},
        {"42e01f", H264ProfileLevel{"constrained-baseline", "3.1"}},
        {"42001e", H264ProfileLevel{"baseline", "3"}},
        {"4d0028", H264ProfileLevel{"main", "4"}},
        {"640029", H264ProfileLevel{"high", "4.1"}},
        {"42f00b", H264ProfileLevel{"constrained-baseline", "1b"}},
        {"420009", H264ProfileLevel{"baseline", "1b"}},
        {"58001e", std::nullopt},
        {"42e0ff", std::nullopt},
        {"42e01", std::nullopt},
        {"42e01g", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(h264ProfileLevel(c.id), c.expected);
    }
}

TEST(GatheringAddressTest, PinsTheConfiguredAddressInItsPlainForm) {
    struct Case {
        const char* configured;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"", ""},
        {"192.168.1.10", "192.168.1.10"},
        {"::ffff:192.168.1.10", "192.168.1.10"},
        {"[::ffff:10.0.0.2]", "10.0.0.2"},
        {"fe80::1%lo", "fe80::1%lo"},
        {"2001:db8::5", "2001:db8::5"},
        {"tablet.local", std::nullopt},
        {"192.168.1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        EXPECT_EQ(gatheringAddress(c.configured), c.expected);
    }
}

}  // namespace
}  // namespace quillory

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/video/video_codec_info.h"

namespace quillory {

// One codec of our offer with the payload type it was offered under.
struct OfferedVideoCodec {
    int payloadType = 0;
    VideoCodecInfo codec;
};

// The H.264 entries of an encoder factory's list, numbered from 96 in list order.
std::vector<OfferedVideoCodec> offeredVideoCodecs(const std::vector<VideoCodecInfo>& codecs);

// What an answer, the other side's or our own, chose of our codecs: its first payload type that
// is one of ours, and the codec to ask the encoder factory for (the answer's format parameters,
// with the offered profile-level-id where the answer states none).
struct SdpVideoAnswer {
    OfferedVideoCodec offered;
    VideoCodecInfo answered;
    // The answer asks for transport-wide congestion control feedback on that payload type.
    bool transportFeedback = false;
};

// Reads the single video section of a description. The transport would accept a description
// whose video section carries none of our payload types and keep sending what cannot be decoded,
// so that case is an error here, as is a description without a readable video section.
struct SdpVideoAnswerResult {
    std::optional<SdpVideoAnswer> answer;
    std::string error;
};
SdpVideoAnswerResult readSdpVideoAnswer(const std::string& sdp,
                                        const std::vector<OfferedVideoCodec>& offered);

}  // namespace quillory

namespace quillory {

// GStreamer's profile and level names for an RFC 6184 profile-level-id ("640c34" →
// constrained-high, 5.2); none for text that is not three hexadecimal bytes or an unknown profile.
struct H264ProfileLevel {
    std::string profile;
    std::string level;
    bool operator==(const H264ProfileLevel&) const = default;
};
std::optional<H264ProfileLevel> h264ProfileLevel(const std::string& profileLevelId);

}  // namespace quillory

#include "platform/webrtc/gstreamer/sdp_video_answer.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <string_view>

namespace quillory {

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<int> parsePayloadType(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 127) {
        return std::nullopt;
    }
    return value;
}

std::string lowercase(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// "a=<name>:<pt> <rest>" → rest, for the given payload type.
std::optional<std::string_view> attributeFor(std::string_view line, std::string_view name,
                                             int payloadType) {
    const std::string prefix = "a=" + std::string(name) + ":" + std::to_string(payloadType) + " ";
    if (!line.starts_with(prefix)) {
        return std::nullopt;
    }
    return line.substr(prefix.size());
}

std::map<std::string, std::string> parseFormatParameters(std::string_view text) {
    std::map<std::string, std::string> parameters;
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        std::string_view item = text.substr(0, end);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        if (const std::size_t equals = item.find('='); equals != std::string_view::npos) {
            parameters[lowercase(item.substr(0, equals))] = std::string(item.substr(equals + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return parameters;
}

}  // namespace

std::vector<OfferedVideoCodec> offeredVideoCodecs(const std::vector<VideoCodecInfo>& codecs) {
    std::vector<OfferedVideoCodec> offered;
    int payloadType = 96;
    for (const VideoCodecInfo& codec : codecs) {
        if (codec.name == "H264") {
            offered.push_back({payloadType++, codec});
        }
    }
    return offered;
}

SdpVideoAnswerResult readSdpVideoAnswer(const std::string& sdp,
                                        const std::vector<OfferedVideoCodec>& offered) {
    const std::vector<std::string_view> lines = splitLines(sdp);
    if (lines.empty() || lines.front() != "v=0") {
        return {std::nullopt, "the description is not SDP"};
    }
    // The video section runs from its m= line to the next one.
    auto video = std::find_if(lines.begin(), lines.end(),
                              [](std::string_view line) { return line.starts_with("m=video "); });
    if (video == lines.end()) {
        return {std::nullopt, "the description has no video section"};
    }
    const auto sectionEnd = std::find_if(
        video + 1, lines.end(), [](std::string_view line) { return line.starts_with("m="); });

    std::istringstream media{std::string(video->substr(2))};
    std::string token;
    std::vector<int> payloadTypes;
    for (int field = 0; media >> token; ++field) {
        if (field < 3) {
            continue;  // media, port, protocol
        }
        const std::optional<int> payloadType = parsePayloadType(token);
        if (!payloadType) {
            return {std::nullopt, "the video section lists an invalid payload type"};
        }
        payloadTypes.push_back(*payloadType);
    }

    for (int payloadType : payloadTypes) {
        const auto entry = std::find_if(offered.begin(), offered.end(), [&](const auto& codec) {
            return codec.payloadType == payloadType;
        });
        if (entry == offered.end()) {
            continue;
        }
        bool isH264 = false;
        bool transportFeedback = false;
        std::map<std::string, std::string> parameters;
        for (auto line = video + 1; line != sectionEnd; ++line) {
            if (auto map = attributeFor(*line, "rtpmap", payloadType)) {
                isH264 = lowercase(map->substr(0, map->find('/'))) == "h264";
            } else if (auto fmtp = attributeFor(*line, "fmtp", payloadType)) {
                parameters = parseFormatParameters(*fmtp);
            } else if (auto feedback = attributeFor(*line, "rtcp-fb", payloadType)) {
                transportFeedback = transportFeedback || *feedback == "transport-cc";
            }
        }
        if (!isH264) {
            continue;
        }
        if (!parameters.contains("profile-level-id")) {
            if (auto offeredProfile = entry->codec.parameters.find("profile-level-id");
                offeredProfile != entry->codec.parameters.end()) {
                parameters["profile-level-id"] = offeredProfile->second;
            }
        }
        return {SdpVideoAnswer{*entry, VideoCodecInfo{"H264", std::move(parameters)},
                               transportFeedback},
                {}};
    }
    return {std::nullopt, "the video section carries none of the offered H.264 payload types"};
}

}  // namespace quillory

namespace quillory {

std::optional<H264ProfileLevel> h264ProfileLevel(const std::string& profileLevelId) {
    if (profileLevelId.size() != 6) {
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(profileLevelId.data(), profileLevelId.data() + 6, value, 16);
    if (error != std::errc() || end != profileLevelId.data() + 6) {
        return std::nullopt;
    }
    const unsigned profileIdc = value >> 16;
    const unsigned constraints = (value >> 8) & 0xff;
    const unsigned levelIdc = value & 0xff;
    std::string profile;
    switch (profileIdc) {
        case 0x42:
            profile = (constraints & 0x40) != 0 ? "constrained-baseline" : "baseline";
            break;
        case 0x4d:
            profile = "main";
            break;
        case 0x64:
            profile = (constraints & 0x0c) == 0x0c ? "constrained-high" : "high";
            break;
        default:
            return std::nullopt;
    }
    std::string level;
    if (levelIdc == 9 || (levelIdc == 11 && profileIdc == 0x42 && (constraints & 0x10) != 0)) {
        level = "1b";
    } else if (levelIdc >= 10 && levelIdc <= 62) {
        level = std::to_string(levelIdc / 10);
        if (levelIdc % 10 != 0) {
            level += "." + std::to_string(levelIdc % 10);
        }
    } else {
        return std::nullopt;
    }
    return H264ProfileLevel{profile, level};
}

}  // namespace quillory

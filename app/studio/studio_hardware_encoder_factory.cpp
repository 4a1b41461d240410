#include "app/studio/studio_hardware_encoder_factory.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "app/studio/studio_hardware_encoder.h"
#include "media/interactive_h264_factory.h"

namespace quillory {
namespace {

const char* const profileLevelId = "profile-level-id";
const char* const packetizationMode = "packetization-mode";
const char* const defaultProfile = "42e034";
// Profile byte and constraint byte, in hexadecimal.
constexpr std::size_t profileAndConstraintDigits = 4;
constexpr std::size_t profileLevelIdDigits = 6;

std::optional<std::string> parameter(const VideoCodecInfo& info, const char* key) {
    const auto found = info.parameters.find(key);
    if (found == info.parameters.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::string> profileAndConstraint(const VideoCodecInfo& info) {
    auto text = parameter(info, profileLevelId);
    if (!text || text->size() != profileLevelIdDigits ||
        !std::all_of(text->begin(), text->end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return std::nullopt;
    }
    text->resize(profileAndConstraintDigits);
    std::transform(text->begin(), text->end(), text->begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

StudioHardwareEncoderFactory::StudioHardwareEncoderFactory(Failure onFailure,
                                                           std::shared_ptr<const Clock> clock,
                                                           StudioVideoCodecOpener openCodec)
    : metrics_(std::make_shared<StudioEncoderMetrics>()),
      feedback_(std::make_shared<StudioEncoderFeedbackMailbox>(clock)),
      cadence_(std::make_shared<StudioEncoderCadence>()),
      onFailure_(std::move(onFailure)),
      clock_(std::move(clock)),
      openCodec_(std::move(openCodec)) {}

std::vector<VideoCodecInfo> StudioHardwareEncoderFactory::supportedCodecs() const {
    return InteractiveH264Factory::codecList();
}

bool StudioHardwareEncoderFactory::codecMatches(const VideoCodecInfo& requested,
                                                const VideoCodecInfo& listed) {
    const auto requestedProfile = profileAndConstraint(requested);
    if (!requestedProfile || requestedProfile != profileAndConstraint(listed)) {
        return false;
    }
    return parameter(requested, packetizationMode) == parameter(listed, packetizationMode);
}

std::shared_ptr<VideoEncoder> StudioHardwareEncoderFactory::createEncoder(
    const VideoCodecInfo& info) {
    if (info.name != "H264") {
        return nullptr;
    }
    const auto& list = InteractiveH264Factory::codecList();
    if (std::none_of(list.begin(), list.end(),
                     [&](const VideoCodecInfo& listed) { return codecMatches(info, listed); })) {
        return nullptr;
    }
    std::string profile = parameter(info, profileLevelId).value_or(defaultProfile);
    return StudioHardwareEncoder::create(std::move(profile), {metrics_, feedback_, cadence_, trace_,
                                                              onFailure_, clock_, openCodec_});
}

}  // namespace quillory

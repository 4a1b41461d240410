#include "media/studio_playback_policy.h"

#include <algorithm>

#include "media/shortest_decimal.h"
#include "media/studio_bitrate_model.h"
#include "media/studio_operating_point_policy.h"

namespace quillory {

namespace {

// The sender description restates the operating-point policy's figures.
using Policy = StudioOperatingPointPolicy;

constexpr const char* probingConfiguration =
    "p1:1.5,p2:2,step_size:1.5,alr_scale:1.5,alloc_current_bwe_limit:1.5";
constexpr const char* transportPacketClass = "best-effort";
constexpr const char* transportDscpEnabled = "false";

std::string screenSharingProbing() {
    return "1.0," + std::to_string(StudioPlaybackPolicy::pacingDelayMilliseconds) + ",80,40,-60,3";
}

}  // namespace

std::int64_t StudioPlaybackPolicy::maximumBitrateBps(StudioPreset preset) {
    switch (preset) {
        case StudioPreset::quality:
            return 28'000'000;
        case StudioPreset::balanced:
            return 16'000'000;
        case StudioPreset::responsive:
            return 10'000'000;
    }
    return 10'000'000;
}

std::int64_t StudioPlaybackPolicy::senderFactoryMaximumBitrateBps() {
    static const std::int64_t largest = [] {
        std::int64_t result = 0;
        for (StudioPreset preset : allCases<StudioPreset>()) {
            result = std::max(result, maximumBitrateBps(preset));
        }
        return result;
    }();
    return largest;
}

std::map<std::string, std::string> StudioPlaybackPolicy::fieldTrials() {
    return {
        {"WebRTC-Video-Pacing", "max_delay:" + std::to_string(pacingDelayMilliseconds) + "ms"},
        {"WebRTC-PcFactoryDefaultBitrates",
         "max:" + std::to_string(senderFactoryMaximumBitrateBps()) + "bps"},
        {"WebRTC-ProbingScreenshareBwe", screenSharingProbing()},
        {"WebRTC-Bwe-ProbingConfiguration", probingConfiguration},
    };
}

std::map<std::string, std::string> StudioPlaybackPolicy::senderDescription() {
    return {
        {"playbackPolicyRevision", std::to_string(revision)},
        {"transportPacketClass", transportPacketClass},
        {"transportDscpEnabled", transportDscpEnabled},
        {"videoContentType", "screen"},
        {"senderFactoryMaximumBitrateBps", std::to_string(senderFactoryMaximumBitrateBps())},
        {"senderScreenSharingPolicy", screenSharingProbing()},
        {"senderInitialBitrateBps", std::to_string(initialBitrateBps)},
        {"senderProbingConfiguration", probingConfiguration},
        {"senderBandwidthRecovery", "native-periodic-alr-probing"},
        {"senderResolutionPolicy", "operating-point-detail-floor-v6"},
        {"senderResolutionMinimumLongEdge", std::to_string(Policy::minimumLongEdge)},
        {"senderResolutionEmergencyFPS", std::to_string(Policy::emergencyFramesPerSecond)},
        {"senderResolutionRecoverySeconds", shortestDecimal(Policy::recoverySeconds)},
        {"senderResolutionRecoveryStepSeconds", shortestDecimal(Policy::recoveryStepSeconds)},
        {"senderResolutionPromotionHeadroom", shortestDecimal(fundingHeadroom)},
        {"senderResolutionRetentionHeadroom", shortestDecimal(retentionShare)},
    };
}

std::map<std::string, std::string> StudioPlaybackPolicy::receiverDescription() {
    return {
        {"receiverTiming", "webrtc-153-local-scheduled-playout"},
        {"transportPacketClass", transportPacketClass},
        {"transportDscpEnabled", transportDscpEnabled},
        {"playbackPolicyRevision", std::to_string(revision)},
        {"receiverPlayoutMinimumMS", std::to_string(playout.minimumMilliseconds)},
        {"receiverPlayoutMaximumMS", std::to_string(playout.maximumMilliseconds)},
        {"presentationClock", "display-link-metal-native-render-deadlines"},
    };
}

}  // namespace quillory

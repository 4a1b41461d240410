#include "platform/webrtc/probing_configuration.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace quillory {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find(separator, at);
        parts.push_back(text.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos) {
            return parts;
        }
        at = end + 1;
    }
}

template <typename Number>
std::optional<Number> number(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<ApplicationLimitSettings> applicationLimitSettings(std::string_view text) {
    const std::vector<std::string_view> parts = split(text, ',');
    if (parts.size() != 6) {
        return std::nullopt;
    }
    const auto factor = number<double>(parts[0]);
    std::optional<int> integers[5];
    for (std::size_t index = 0; index < 5; ++index) {
        integers[index] = number<int>(parts[index + 1]);
        if (!integers[index]) {
            return std::nullopt;
        }
    }
    if (!factor || *factor <= 0 || *integers[0] <= 0 || *integers[1] <= 0 ||
        *integers[2] <= *integers[3]) {
        return std::nullopt;
    }
    return ApplicationLimitSettings{
        .pacingFactor = *factor,
        .maximumQueueMilliseconds = *integers[0],
        .usagePercent = *integers[1],
        .startBudgetPercent = *integers[2],
        .stopBudgetPercent = *integers[3],
        .group = *integers[4],
    };
}

// Every key of the text must be known and every factor positive; a key left out keeps its
// default.
bool readFactors(std::string_view text, ProbingConfiguration& configuration) {
    const std::pair<std::string_view, double*> keys[] = {
        {"p1", &configuration.firstScale},
        {"p2", &configuration.secondScale},
        {"step_size", &configuration.stepScale},
        {"alr_scale", &configuration.applicationLimitedScale},
        {"alloc_current_bwe_limit", &configuration.currentEstimateLimit},
    };
    for (const std::string_view part : split(text, ',')) {
        const std::size_t colon = part.find(':');
        if (colon == std::string_view::npos) {
            return false;
        }
        const auto value = number<double>(part.substr(colon + 1));
        bool known = false;
        for (const auto& [key, field] : keys) {
            if (part.substr(0, colon) == key && value && *value > 0) {
                *field = *value;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<ProbingConfiguration> probingConfiguration(
    const std::map<std::string, std::string>& fieldTrials) {
    const auto factors = fieldTrials.find("WebRTC-Bwe-ProbingConfiguration");
    const auto limit = fieldTrials.find("WebRTC-ProbingScreenshareBwe");
    if (factors == fieldTrials.end() || limit == fieldTrials.end()) {
        return std::nullopt;
    }
    ProbingConfiguration configuration;
    const auto settings = applicationLimitSettings(limit->second);
    if (!settings || !readFactors(factors->second, configuration)) {
        return std::nullopt;
    }
    configuration.applicationLimit = *settings;
    return configuration;
}

}  // namespace quillory

#include "media/studio_adaptation_assessment.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <type_traits>

namespace quillory {

namespace {

using Json = nlohmann::json;

// Visits every field with its key, in declaration order; shared by encoding and decoding so the
// two can never disagree on a name.
template <typename Record, typename Visitor>
void visitFields(Record& r, Visitor&& visit) {
    visit("targetFPS", r.targetFPS);
    visit("observedFPS", r.observedFPS);
    visit("evidenceValidity", r.evidenceValidity);
    visit("filteredQP", r.filteredQP);
    visit("recoveryCondition", r.recoveryCondition);
    visit("reason", r.reason);
    visit("recoveryBlockers", r.recoveryBlockers);
    visit("previousWidth", r.previousWidth);
    visit("previousHeight", r.previousHeight);
    visit("targetWidth", r.targetWidth);
    visit("targetHeight", r.targetHeight);
    visit("requestWidth", r.requestWidth);
    visit("requestHeight", r.requestHeight);
    visit("observedWidth", r.observedWidth);
    visit("observedHeight", r.observedHeight);
    visit("allocatedBitrateBps", r.allocatedBitrateBps);
    visit("retentionBitrateBps", r.retentionBitrateBps);
    visit("nextLevelBitrateBps", r.nextLevelBitrateBps);
    visit("intervalSeconds", r.intervalSeconds);
    visit("intervalFrames", r.intervalFrames);
    visit("meanQP", r.meanQP);
    visit("packetQueueMS", r.packetQueueMS);
    visit("retransmissionFraction", r.retransmissionFraction);
    visit("submittedFrames", r.submittedFrames);
    visit("droppedFrames", r.droppedFrames);
    visit("outputFrames", r.outputFrames);
    visit("consecutiveKeyframeDrops", r.consecutiveKeyframeDrops);
    visit("successfulOutputAtTarget", r.successfulOutputAtTarget);
    visit("healthySeconds", r.healthySeconds);
}

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <typename T>
bool read(const Json& json, T& out) {
    if constexpr (std::is_same_v<T, bool>) {
        if (!json.is_boolean()) {
            return false;
        }
        out = json.get<bool>();
    } else if constexpr (std::is_integral_v<T>) {
        if (json.is_number_unsigned()) {
            const auto value = json.get<std::uint64_t>();
            if (value > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
                return false;
            }
            out = static_cast<T>(value);
        } else if (json.is_number_integer()) {
            const auto value = json.get<std::int64_t>();
            if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
                return false;
            }
            out = static_cast<T>(value);
        } else {
            return false;
        }
    } else if constexpr (std::is_same_v<T, double>) {
        if (!json.is_number()) {
            return false;
        }
        out = json.get<double>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (!json.is_string()) {
            return false;
        }
        out = json.get<std::string>();
    } else {
        static_assert(std::is_same_v<T, std::vector<std::string>>);
        if (!json.is_array()) {
            return false;
        }
        out.clear();
        for (const Json& item : json) {
            if (!item.is_string()) {
                return false;
            }
            out.push_back(item.get<std::string>());
        }
    }
    return true;
}

}  // namespace

std::optional<Json> StudioAdaptationAssessment::toJson() const {
    Json json = Json::object();
    bool finite = true;
    visitFields(*this, [&](const char* key, const auto& field) {
        using Field = std::decay_t<decltype(field)>;
        if constexpr (IsOptional<Field>::value) {
            if (field) {
                if constexpr (std::is_same_v<typename Field::value_type, double>) {
                    finite = finite && std::isfinite(*field);
                }
                json[key] = *field;
            }
        } else {
            if constexpr (std::is_same_v<Field, double>) {
                finite = finite && std::isfinite(field);
            }
            json[key] = field;
        }
    });
    if (!finite) {
        return std::nullopt;
    }
    return json;
}

std::optional<StudioAdaptationAssessment> StudioAdaptationAssessment::fromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    StudioAdaptationAssessment record;
    bool valid = true;
    visitFields(record, [&](const char* key, auto& field) {
        using Field = std::decay_t<decltype(field)>;
        const auto found = json.find(key);
        if constexpr (IsOptional<Field>::value) {
            // A null stands for an absent value, as an omitted key does.
            if (found != json.end() && !found->is_null()) {
                typename Field::value_type value{};
                valid = valid && read(*found, value);
                field = std::move(value);
            }
        } else {
            valid = valid && found != json.end() && read(*found, field);
        }
    });
    if (!valid) {
        return std::nullopt;
    }
    return record;
}

std::optional<std::string> StudioAdaptationAssessment::encoded() const {
    const std::optional<Json> json = toJson();
    if (!json) {
        return std::nullopt;
    }
    return json->dump(2);
}

std::optional<StudioAdaptationAssessment> StudioAdaptationAssessment::decoded(
    std::string_view text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
        return std::nullopt;
    }
    return fromJson(json);
}

}  // namespace quillory

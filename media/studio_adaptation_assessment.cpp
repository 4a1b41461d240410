#include "media/studio_adaptation_assessment.h"

#include "media/studio_json_text.h"

namespace quillory {

using Json = nlohmann::json;

Json StudioAdaptationAssessment::toJSON() const {
    return studio_json::encodeFields(*this);
}

std::optional<StudioAdaptationAssessment> StudioAdaptationAssessment::fromJSON(const Json& json) {
    return studio_json::decodeFields<StudioAdaptationAssessment>(json);
}

std::optional<std::string> StudioAdaptationAssessment::encoded() const {
    return prettyJSONText(toJSON()).text;
}

std::optional<StudioAdaptationAssessment> StudioAdaptationAssessment::decoded(
    std::string_view text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
        return std::nullopt;
    }
    return fromJSON(json);
}

}  // namespace quillory

#include "media/studio_rtc_event_log_snapshot.h"

#include "media/studio_json_text.h"

namespace quillory {

nlohmann::json StudioRTCEventLogSnapshot::toJSON() const {
    return studio_json::encodeFields(*this);
}

std::optional<StudioRTCEventLogSnapshot> StudioRTCEventLogSnapshot::fromJSON(
    const nlohmann::json& json) {
    return studio_json::decodeFields<StudioRTCEventLogSnapshot>(json);
}

}  // namespace quillory

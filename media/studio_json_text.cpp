#include "media/studio_json_text.h"

#include <cmath>

namespace quillory {

bool hasOnlyFiniteNumbers(const nlohmann::json& json) {
    if (json.is_number_float()) {
        return std::isfinite(json.get<double>());
    }
    if (json.is_structured()) {
        for (const nlohmann::json& item : json) {
            if (!hasOnlyFiniteNumbers(item)) {
                return false;
            }
        }
    }
    return true;
}

std::optional<std::string> prettyJsonText(const nlohmann::json& json) {
    if (!hasOnlyFiniteNumbers(json)) {
        return std::nullopt;
    }
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quillory

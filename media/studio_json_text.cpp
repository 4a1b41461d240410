#include "media/studio_json_text.h"

#include <array>
#include <ctime>

#include "media/shortest_decimal.h"

namespace quillory {

namespace {

using Json = nlohmann::json;

// The path of the first number JSON cannot hold, as a JSON pointer.
std::optional<std::string> firstNonFinite(const Json& json, const std::string& path) {
    if (json.is_number_float() && !std::isfinite(json.get<double>())) {
        return path;
    }
    if (json.is_object()) {
        for (const auto& [key, item] : json.items()) {
            if (auto found = firstNonFinite(item, path + "/" + key)) {
                return found;
            }
        }
    } else if (json.is_array()) {
        for (std::size_t k = 0; k < json.size(); ++k) {
            if (auto found = firstNonFinite(json[k], path + "/" + std::to_string(k))) {
                return found;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

JSONText prettyJSONText(const Json& json) {
    if (const std::optional<std::string> path = firstNonFinite(json, "")) {
        return {std::nullopt, "the number " + shortestDecimal(json.at(Json::json_pointer(*path))) +
                                  " at " + *path + " cannot be written as JSON"};
    }
    return {json.dump(2, ' ', false, Json::error_handler_t::replace), {}};
}

namespace studio_json {

bool decodeValue(const Json& json, double& out) {
    if (!json.is_number()) {
        return false;
    }
    out = json.get<double>();
    return true;
}

Json encodeValue(std::chrono::system_clock::time_point value) {
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(value));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return Json(text.data());
}

}  // namespace studio_json
}  // namespace quillory

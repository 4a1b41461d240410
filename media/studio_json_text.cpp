#include "media/studio_json_text.h"

#include <array>
#include <ctime>

#include "media/shortest_decimal.h"
#include "protocol/base64.h"

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

bool decodeValue(const Json& json, bool& out) {
    if (!json.is_boolean()) {
        return false;
    }
    out = json.get<bool>();
    return true;
}

bool decodeValue(const Json& json, double& out) {
    if (!json.is_number()) {
        return false;
    }
    out = json.get<double>();
    return true;
}

bool decodeValue(const Json& json, std::string& out) {
    const auto* text = json.get_ptr<const Json::string_t*>();
    if (text != nullptr) {
        out = *text;
    }
    return text != nullptr;
}

bool decodeValue(const Json& json, Uuid& out) {
    const auto* text = json.get_ptr<const Json::string_t*>();
    const std::optional<Uuid> value = text == nullptr ? std::nullopt : Uuid::parse(*text);
    if (value) {
        out = *value;
    }
    return value.has_value();
}

bool decodeValue(const Json& json, Bytes& out) {
    const auto* text = json.get_ptr<const Json::string_t*>();
    std::optional<Bytes> value = text == nullptr ? std::nullopt : base64Decode(*text);
    if (value) {
        out = std::move(*value);
    }
    return value.has_value();
}

Json encodeValue(const Uuid& value) {
    return Json(value.text());
}

Json encodeValue(const Bytes& value) {
    return Json(base64Encode(value));
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

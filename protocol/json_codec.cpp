#include "protocol/json_codec.h"

#include <cmath>
#include <limits>

namespace quillory {

std::string dumpJSON(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace json_codec {

bool decodeValue(const Json& json, std::int64_t& out) {
    if (const auto* value = json.get_ptr<const Json::number_integer_t*>()) {
        out = *value;
        return true;
    }
    if (const auto* value = json.get_ptr<const Json::number_unsigned_t*>()) {
        if (*value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return false;
        }
        out = static_cast<std::int64_t>(*value);
        return true;
    }
    return false;
}

bool decodeValue(const Json& json, std::uint64_t& out) {
    if (const auto* value = json.get_ptr<const Json::number_unsigned_t*>()) {
        out = *value;
        return true;
    }
    // The parser keeps non-negative integers unsigned, but a built value may hold a signed one.
    if (const auto* value = json.get_ptr<const Json::number_integer_t*>()) {
        if (*value < 0) {
            return false;
        }
        out = static_cast<std::uint64_t>(*value);
        return true;
    }
    return false;
}

bool decodeValue(const Json& json, double& out) {
    if (!json.is_number()) {
        return false;
    }
    const double value = json.get<double>();
    if (!std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace json_codec
}  // namespace quillory

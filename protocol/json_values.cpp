#include "protocol/json_values.h"

#include "protocol/base64.h"

namespace quillory::json_codec {

namespace {

template <Document J>
bool decodeBool(const J& json, bool& out) {
    if (!json.is_boolean()) {
        return false;
    }
    out = json.template get<bool>();
    return true;
}

template <Document J>
bool decodeText(const J& json, std::string& out) {
    const auto* text = json.template get_ptr<const typename J::string_t*>();
    if (text == nullptr) {
        return false;
    }
    out = *text;
    return true;
}

template <Document J>
bool decodeUuid(const J& json, Uuid& out) {
    const auto* text = json.template get_ptr<const typename J::string_t*>();
    if (text == nullptr) {
        return false;
    }
    const auto value = Uuid::parse(*text);
    if (!value) {
        return false;
    }
    out = *value;
    return true;
}

template <Document J>
bool decodeBytes(const J& json, Bytes& out) {
    const auto* text = json.template get_ptr<const typename J::string_t*>();
    if (text == nullptr) {
        return false;
    }
    auto value = base64Decode(*text);
    if (!value) {
        return false;
    }
    out = std::move(*value);
    return true;
}

}  // namespace

template <Document J>
J encodeValue(const Uuid& value) {
    return value.text();
}

template <Document J>
J encodeValue(const Bytes& value) {
    return base64Encode(value);
}

template nlohmann::ordered_json encodeValue<nlohmann::ordered_json>(const Uuid&);
template nlohmann::ordered_json encodeValue<nlohmann::ordered_json>(const Bytes&);
template nlohmann::json encodeValue<nlohmann::json>(const Uuid&);
template nlohmann::json encodeValue<nlohmann::json>(const Bytes&);

bool decodeValue(const nlohmann::ordered_json& json, bool& out) {
    return decodeBool(json, out);
}

bool decodeValue(const nlohmann::json& json, bool& out) {
    return decodeBool(json, out);
}

bool decodeValue(const nlohmann::ordered_json& json, std::string& out) {
    return decodeText(json, out);
}

bool decodeValue(const nlohmann::json& json, std::string& out) {
    return decodeText(json, out);
}

bool decodeValue(const nlohmann::ordered_json& json, Uuid& out) {
    return decodeUuid(json, out);
}

bool decodeValue(const nlohmann::json& json, Uuid& out) {
    return decodeUuid(json, out);
}

bool decodeValue(const nlohmann::ordered_json& json, Bytes& out) {
    return decodeBytes(json, out);
}

bool decodeValue(const nlohmann::json& json, Bytes& out) {
    return decodeBytes(json, out);
}

}  // namespace quillory::json_codec

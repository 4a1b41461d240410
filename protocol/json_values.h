#pragma once

#include <concepts>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/crypto/crypto.h"
#include "protocol/raw_value.h"
#include "protocol/uuid.h"

// The values both of our JSON document types read and write alike: the wire's (json_codec.h),
// whose objects keep insertion order, and the media reports' (media/studio_json_text.h), whose
// objects keep their keys sorted. Booleans and text as they are, enumerations as their raw texts,
// identifiers as upper-case UUID texts, bytes as standard base64, records through their own
// toJSON and fromJSON. Numbers and containers follow each document's own rules.
namespace quillory::json_codec {

template <class J>
concept Document = std::same_as<J, nlohmann::ordered_json> || std::same_as<J, nlohmann::json>;

bool decodeValue(const nlohmann::ordered_json& json, bool& out);
bool decodeValue(const nlohmann::ordered_json& json, std::string& out);
bool decodeValue(const nlohmann::ordered_json& json, Uuid& out);
bool decodeValue(const nlohmann::ordered_json& json, Bytes& out);
bool decodeValue(const nlohmann::json& json, bool& out);
bool decodeValue(const nlohmann::json& json, std::string& out);
bool decodeValue(const nlohmann::json& json, Uuid& out);
bool decodeValue(const nlohmann::json& json, Bytes& out);

template <Document J, class E>
requires std::is_enum_v<E>
bool decodeValue(const J& json, E& out) {
    const auto* text = json.template get_ptr<const typename J::string_t*>();
    if (text == nullptr) {
        return false;
    }
    const auto value = fromRawValue<E>(*text);
    if (!value) {
        return false;
    }
    out = *value;
    return true;
}

template <Document J, class T>
requires requires(const J& json) {
    { T::fromJSON(json) } -> std::same_as<std::optional<T>>;
}
bool decodeValue(const J& json, T& out) {
    auto value = T::fromJSON(json);
    if (!value) {
        return false;
    }
    out = std::move(*value);
    return true;
}

// The document type is the wire's unless named.
template <Document J = nlohmann::ordered_json>
J encodeValue(const Uuid& value);
template <Document J = nlohmann::ordered_json>
J encodeValue(const Bytes& value);

template <Document J = nlohmann::ordered_json, class T>
J encodeValue(const T& value) {
    if constexpr (std::is_enum_v<T>) {
        return J(rawValue(value));
    } else if constexpr (requires { value.toJSON(); }) {
        return value.toJSON();
    } else {
        return J(value);
    }
}

template <Document J = nlohmann::ordered_json, class T>
J encodeValue(const std::vector<T>& values) {
    J array = J::array();
    for (const auto& value : values) {
        array.push_back(encodeValue<J>(value));
    }
    return array;
}

}  // namespace quillory::json_codec

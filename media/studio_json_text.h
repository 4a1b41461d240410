#pragma once

#include <chrono>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "protocol/json_values.h"

// The media records follow the protocol codec's convention (protocol/json_codec.h): each lists its
// fields once, in a static `fields(self, visit)`, and toJSON/fromJSON are built from that list, and
// their values read and write by the rules both share (protocol/json_values.h). Media differs in
// three ways the reports rely on: objects keep their keys sorted, numbers may be non-finite until
// the text is written (which then fails and says where), and a null member reads as an absent
// optional. An integer field also accepts an integral double within its range, as the reports'
// readers may write 60.0 for 60.
namespace quillory {

// Pretty JSON text, or why it could not be written.
struct JSONText {
    std::optional<std::string> text;
    std::string error;

    explicit operator bool() const { return text.has_value(); }
    const std::string& operator*() const { return *text; }
    const std::string* operator->() const { return &*text; }
    bool operator==(const JSONText&) const = default;
};

// Pretty-printed text, one member per line, keys sorted. Fails when a number anywhere is infinite
// or not a number: JSON cannot hold one and writing null would change its meaning. Text that is
// not valid UTF-8 is written with U+FFFD in its place.
JSONText prettyJSONText(const nlohmann::json& json);

namespace studio_json {

using Json = nlohmann::json;

template <class T>
inline constexpr bool isOptional = false;
template <class T>
inline constexpr bool isOptional<std::optional<T>> = true;

// Booleans, text, identifiers, bytes, enumerations and records as on the wire; numbers and
// containers below.
using json_codec::decodeValue;
template <class T>
requires(std::integral<T> && !std::same_as<T, bool>) bool decodeValue(const Json& json, T& out);
bool decodeValue(const Json& json, double& out);
template <class T>
bool decodeValue(const Json& json, std::vector<T>& out);
template <class T>
bool decodeValue(const Json& json, std::map<std::string, T>& out);

// ISO 8601 in UTC with whole seconds: 2026-12-06T18:04:35Z.
Json encodeValue(std::chrono::system_clock::time_point value);
// Everything else as on the wire, in this document type.
template <class T>
Json encodeValue(const T& value) {
    return json_codec::encodeValue<Json>(value);
}

template <class T>
requires(std::integral<T> && !std::same_as<T, bool>) bool decodeValue(const Json& json, T& out) {
    if (const auto* value = json.get_ptr<const Json::number_unsigned_t*>()) {
        if (*value > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
            return false;
        }
        out = static_cast<T>(*value);
        return true;
    }
    if (const auto* value = json.get_ptr<const Json::number_integer_t*>()) {
        if (!std::in_range<T>(*value)) {
            return false;
        }
        out = static_cast<T>(*value);
        return true;
    }
    if (const auto* value = json.get_ptr<const Json::number_float_t*>()) {
        // Every integer this wide converts exactly, so the bounds are exact too.
        constexpr double lowest = static_cast<double>(std::numeric_limits<T>::min());
        constexpr double beyond = static_cast<double>(std::numeric_limits<T>::max() / 2 + 1) * 2.0;
        if (std::trunc(*value) != *value || *value < lowest || *value >= beyond) {
            return false;
        }
        out = static_cast<T>(*value);
        return true;
    }
    return false;
}

template <class T>
bool decodeValue(const Json& json, std::vector<T>& out) {
    if (!json.is_array()) {
        return false;
    }
    out.clear();
    out.reserve(json.size());
    for (const Json& element : json) {
        if (!decodeValue(element, out.emplace_back())) {
            return false;
        }
    }
    return true;
}

template <class T>
bool decodeValue(const Json& json, std::map<std::string, T>& out) {
    if (!json.is_object()) {
        return false;
    }
    out.clear();
    for (const auto& [key, element] : json.items()) {
        if (!decodeValue(element, out[key])) {
            return false;
        }
    }
    return true;
}

// Absent optionals leave no key.
template <class T>
Json encodeFields(const T& record) {
    Json object = Json::object();
    const auto write = [&]<class V>(const char* key, const V& value) {
        if constexpr (isOptional<V>) {
            if (value) {
                object[key] = encodeValue(*value);
            }
        } else {
            object[key] = encodeValue(value);
        }
    };
    T::fields(record, write);
    return object;
}

// Nothing when the value is not an object, or a required field is missing or mistyped; unknown
// keys are ignored.
template <class T>
std::optional<T> decodeFields(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    T record;
    bool ok = true;
    const auto read = [&]<class V>(const char* key, V& value) {
        const auto found = json.find(key);
        if constexpr (isOptional<V>) {
            if (found == json.end() || found->is_null()) {
                value.reset();
            } else {
                ok = ok && decodeValue(*found, value.emplace());
            }
        } else {
            ok = ok && found != json.end() && decodeValue(*found, value);
        }
    };
    T::fields(record, read);
    if (!ok) {
        return std::nullopt;
    }
    return record;
}

}  // namespace studio_json
}  // namespace quillory

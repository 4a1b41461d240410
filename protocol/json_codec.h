#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "protocol/json_values.h"

// JSON conventions of every wire record:
//  - a record `T` has `Json toJSON() const`, which emits its keys in field order and leaves absent
//    optionals out, and `static std::optional<T> fromJSON(const Json&)`, which accepts any key
//    order, ignores unknown keys and answers nothing for a missing required field, a wrong type, an
//    unknown enumeration text or a non-finite number;
//  - text goes through dumpJSON and parseJSON;
//  - enumerations travel as their raw texts, identifiers as upper-case UUID texts, bytes as
//    standard base64;
//  - decoding never throws; validity of the content is a separate `isValid` predicate.
namespace quillory {

// One JSON type for both directions: its objects keep their keys in insertion order, which fixes
// the emitted order, and small objects look keys up faster than a tree would.
using Json = nlohmann::ordered_json;

// Compact UTF-8 JSON text with no escaping of "/"; ill-formed UTF-8 is replaced rather than thrown.
std::string dumpJSON(const Json& value);

// Arrays and objects may nest this deep; the library's copy, comparison and output recurse, so
// deeper documents would be a stack risk.
constexpr std::size_t maxJSONDepth = 64;

// Reads one RFC 8259 JSON text (surrounding whitespace allowed, nothing else). Nothing when the
// text is not JSON, holds ill-formed UTF-8 or a lone surrogate escape, has a number too large for
// a double, or nests deeper than maxJSONDepth. Integers that fit stay integers (unsigned when not
// negative); a repeated key keeps its first place and its last value.
//
// Implemented in json_parser.cpp rather than by the library's parser: it builds the same document
// at a fraction of the cost (the link decodes every pen batch from text, and the library copies
// each token byte by byte and converts numbers through the C locale).
std::optional<Json> parseJSON(std::string_view text);

namespace json_codec {

// The wire's numbers: integers stay integers, and a number must be finite.
bool decodeValue(const Json& json, std::int64_t& out);
bool decodeValue(const Json& json, std::uint64_t& out);
bool decodeValue(const Json& json, double& out);

template <class T>
bool decodeValue(const Json& json, std::vector<T>& out) {
    if (!json.is_array()) {
        return false;
    }
    out.clear();
    out.reserve(json.size());
    for (const auto& element : json) {
        if (!decodeValue(element, out.emplace_back())) {
            return false;
        }
    }
    return true;
}

// Reads the fields of one JSON object. A std::optional member is optional, every other member
// required; the first missing required or mistyped field makes the whole read fail.
class ObjectReader {
  public:
    explicit ObjectReader(const Json& json) : object_(json.is_object() ? &json : nullptr) {}

    bool ok() const { return object_ != nullptr; }

    template <class T>
    void read(const char* key, T& out) {
        if (!ok()) {
            return;
        }
        const auto found = object_->find(key);
        if (found == object_->end() || !decodeValue(*found, out)) {
            object_ = nullptr;
        }
    }

    template <class T>
    void read(const char* key, std::optional<T>& out) {
        if (!ok()) {
            return;
        }
        const auto found = object_->find(key);
        if (found == object_->end()) {
            out.reset();
        } else if (!decodeValue(*found, out.emplace())) {
            object_ = nullptr;
        }
    }

  private:
    const Json* object_;
};

// Writes fields in the order they are given; absent optionals leave no key.
class ObjectWriter {
  public:
    template <class T>
    ObjectWriter& field(const char* key, const T& value) {
        object_.emplace(key, encodeValue(value));
        return *this;
    }

    template <class T>
    ObjectWriter& field(const char* key, const std::optional<T>& value) {
        if (value) {
            object_.emplace(key, encodeValue(*value));
        }
        return *this;
    }

    Json take() { return std::move(object_); }

  private:
    Json object_ = Json::object();
};

// A record lists its fields once, in JSON order, in a static member
//   template <class Self, class Visit> static void fields(Self& self, Visit&& visit);
// that calls visit("key", self.member) for each; these two build toJSON and fromJSON from it.
template <class T>
Json encodeFields(const T& record) {
    ObjectWriter writer;
    T::fields(record, [&](const char* key, const auto& value) { writer.field(key, value); });
    return writer.take();
}

template <class T>
std::optional<T> decodeFields(const Json& json) {
    T record;
    ObjectReader reader(json);
    T::fields(record, [&](const char* key, auto& value) { reader.read(key, value); });
    if (!reader.ok()) {
        return std::nullopt;
    }
    return record;
}

}  // namespace json_codec
}  // namespace quillory

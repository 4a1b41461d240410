#include "protocol/session_payload.h"

#include <algorithm>

namespace quillory {
namespace {

// Which of the optional fields a payload holds, one bit each.
constexpr unsigned samplesBit = 1U << 0;
constexpr unsigned actionBit = 1U << 1;
constexpr unsigned desktopBit = 1U << 2;
constexpr unsigned controlsBit = 1U << 3;
constexpr unsigned studioBit = 1U << 4;
constexpr unsigned probeBit = 1U << 5;
constexpr unsigned displayBit = 1U << 6;

struct FieldRule {
    unsigned required;
    unsigned allowed;
};

FieldRule fieldRule(SessionPayload::Kind kind) {
    using Kind = SessionPayload::Kind;
    switch (kind) {
        case Kind::input:
            return {samplesBit, samplesBit};
        case Kind::action:
            return {actionBit, actionBit};
        case Kind::desktop:
            return {desktopBit, desktopBit};
        case Kind::controls:
            return {controlsBit, controlsBit};
        case Kind::studio:
            return {studioBit, studioBit};
        case Kind::ping:
            return {probeBit, probeBit};
        case Kind::pong:
            return {0, probeBit | displayBit};
        case Kind::known:
        case Kind::unknown:
        case Kind::approve:
        case Kind::saved:
        case Kind::stop:
            return {0, 0};
    }
    return {0, 0};
}

unsigned presentFields(const SessionPayload& payload) {
    return (payload.samples ? samplesBit : 0U) | (payload.action ? actionBit : 0U) |
           (payload.desktop ? desktopBit : 0U) | (payload.controls ? controlsBit : 0U) |
           (payload.studio ? studioBit : 0U) | (payload.probe ? probeBit : 0U) |
           (payload.display ? displayBit : 0U);
}

}  // namespace

bool SessionPayload::isValid() const {
    const FieldRule rule = fieldRule(kind);
    const unsigned present = presentFields(*this);
    if ((present & rule.required) != rule.required || (present & ~rule.allowed) != 0) {
        return false;
    }
    if (samples && (samples->size() > maxSamples ||
                    !std::all_of(samples->begin(), samples->end(),
                                 [](const PenSample& sample) { return sample.isValid(); }))) {
        return false;
    }
    return (!action || action->isValid()) && (!desktop || desktop->isValid()) &&
           (!controls || controls->isValid()) && (!studio || studio->isValid()) &&
           (!display || display->isValid());
}

Json SessionPayload::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::string SessionPayload::encode() const {
    return dumpJSON(toJSON());
}

std::optional<SessionPayload> SessionPayload::fromJSON(const Json& json) {
    auto payload = json_codec::decodeFields<SessionPayload>(json);
    if (!payload) {
        return std::nullopt;
    }
    const unsigned required = fieldRule(payload->kind).required;
    if ((presentFields(*payload) & required) != required) {
        return std::nullopt;
    }
    return payload;
}

std::optional<SessionPayload> SessionPayload::decode(std::string_view text) {
    const auto json = parseJSON(text);
    if (!json) {
        return std::nullopt;
    }
    return fromJSON(*json);
}

}  // namespace quillory

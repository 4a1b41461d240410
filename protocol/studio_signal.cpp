#include "protocol/studio_signal.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "protocol/display_geometry.h"
#include "protocol/image_rules.h"
#include "protocol/text_rules.h"

namespace quillory {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool equalsIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The next SDP line without its CR LF (or LF) ending.
std::string_view nextLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// "a=candidate:<foundation> <component> <transport> <priority> <address> <port> typ <type> ..."
bool isHostCandidate(std::string_view line) {
    const std::size_t typ = line.find(" typ ");
    if (typ == std::string_view::npos) {
        return false;
    }
    std::string_view type = line.substr(typ + 5);
    type = type.substr(0, type.find(' '));
    return type == "host";
}

bool validSide(const std::optional<std::int64_t>& side) {
    return !side || (*side >= 1 && *side <= DisplayGeometry::maxSide);
}

}  // namespace

bool isValidStudioSDP(std::string_view sdp) {
    if (sdp.size() > StudioSignal::maxSDPBytes) {
        return false;
    }
    std::string_view rest = sdp;
    if (nextLine(rest) != "v=0") {
        return false;
    }
    bool fingerprint = false;
    int videoSections = 0;
    while (!rest.empty()) {
        const std::string_view line = nextLine(rest);
        if (startsWith(line, "m=")) {
            if (startsWith(line, "m=audio") || startsWith(line, "m=application")) {
                return false;
            }
            videoSections += startsWith(line, "m=video ") ? 1 : 0;
        } else if (startsWith(line, "a=fingerprint:")) {
            const std::string_view value = line.substr(14);
            fingerprint = fingerprint || equalsIgnoringCase(value.substr(0, 8), "sha-256 ");
        } else if (startsWith(line, "a=candidate:") && !isHostCandidate(line)) {
            return false;
        }
    }
    return fingerprint && videoSections == 1;
}

bool isValidStudioSources(const std::vector<StudioSource>& sources) {
    if (sources.size() > StudioSignal::maxSources) {
        return false;
    }
    std::unordered_set<Uuid> ids;
    for (const StudioSource& source : sources) {
        if (!source.isValid() || !ids.insert(source.id).second) {
            return false;
        }
    }
    return dumpJSON(json_codec::encodeValue(sources)).size() <= StudioSignal::maxSourcesJSONBytes;
}

bool StudioSignal::isValid() const {
    if (sdp && !isValidStudioSDP(*sdp)) {
        return false;
    }
    if (sources && !isValidStudioSources(*sources)) {
        return false;
    }
    if (!validSide(width) || !validSide(height) || (viewport && !viewport->isValid())) {
        return false;
    }
    if ((sourceName && !isValidText(*sourceName, 1, 256)) ||
        (message && !isValidText(*message, 1, 512))) {
        return false;
    }
    if ((thumbnail && !isValidThumbnailJPEG(*thumbnail)) || (feedback && !feedback->isValid())) {
        return false;
    }
    switch (kind) {
        case Kind::offer:
        case Kind::answer:
            return sdp.has_value();
        case Kind::sources:
            return sources.has_value();
        case Kind::failure:
            return message.has_value();
        case Kind::thumbnail:
            return sourceID && thumbnail;
        case Kind::configured:
            return width && height && preset && settingsID;
        case Kind::feedback:
            return feedback.has_value();
        case Kind::request:
        case Kind::stop:
        case Kind::listSources:
        case Kind::configure:
            return true;
    }
    return false;
}

Json StudioSignal::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<StudioSignal> StudioSignal::fromJSON(const Json& json) {
    return json_codec::decodeFields<StudioSignal>(json);
}

}  // namespace quillory

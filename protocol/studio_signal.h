#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/json_codec.h"
#include "protocol/studio_feedback.h"
#include "protocol/studio_preset.h"
#include "protocol/studio_source.h"
#include "protocol/studio_viewport.h"
#include "protocol/uuid.h"

namespace quillory {

// Studio signalling between the tablet and this computer. A sender fills only the fields its kind
// carries; absent fields leave no key in the JSON.
struct StudioSignal {
    enum class Kind {
        request,
        offer,
        answer,
        stop,
        failure,
        listSources,
        sources,
        configure,
        configured,
        feedback,
        thumbnail
    };

    static constexpr std::size_t maxSDPBytes = 24'000;
    static constexpr std::size_t maxSources = 32;
    static constexpr std::size_t maxSourcesJSONBytes = 44'000;

    Uuid id;
    Kind kind = Kind::request;
    std::optional<std::string> sdp;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    std::optional<std::string> message;
    std::optional<Uuid> sourceID;
    std::optional<std::string> sourceName;
    std::optional<std::vector<StudioSource>> sources;
    std::optional<StudioViewport> viewport;
    std::optional<StudioPreset> preset;
    std::optional<Uuid> settingsID;
    std::optional<StudioFeedback> feedback;
    std::optional<Bytes> thumbnail;

    // Every present field obeys its rule and the kind's required fields are present: "offer" and
    // "answer" an SDP (isValidStudioSDP), "sources" a list (isValidStudioSources), "failure" a
    // message, "thumbnail" a source id and a JPEG, "configured" width, height, preset and
    // settings id, "feedback" its report.
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("id", self.id);
        visit("kind", self.kind);
        visit("sdp", self.sdp);
        visit("width", self.width);
        visit("height", self.height);
        visit("message", self.message);
        visit("sourceID", self.sourceID);
        visit("sourceName", self.sourceName);
        visit("sources", self.sources);
        visit("viewport", self.viewport);
        visit("preset", self.preset);
        visit("settingsID", self.settingsID);
        visit("feedback", self.feedback);
        visit("thumbnail", self.thumbnail);
    }

    Json toJSON() const;
    static std::optional<StudioSignal> fromJSON(const Json& json);

    friend bool operator==(const StudioSignal&, const StudioSignal&) = default;
};

template <>
struct RawValues<StudioSignal::Kind> {
    static constexpr std::array<std::string_view, 11> names{
        "request", "offer",     "answer",     "stop",     "failure",  "listSources",
        "sources", "configure", "configured", "feedback", "thumbnail"};
};

// At most 24,000 bytes, "v=0" first, a sha-256 fingerprint, exactly one video section, no audio or
// application section, host candidates only.
bool isValidStudioSDP(std::string_view sdp);

// At most 32 valid sources with distinct ids whose JSON list has at most 44,000 bytes.
bool isValidStudioSources(const std::vector<StudioSource>& sources);

}  // namespace quillory

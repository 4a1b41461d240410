#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/controls_signal.h"
#include "protocol/desktop_action.h"
#include "protocol/desktop_context.h"
#include "protocol/display_geometry.h"
#include "protocol/json_codec.h"
#include "protocol/pen_sample.h"
#include "protocol/studio_signal.h"
#include "protocol/uuid.h"

namespace quillory {

// The plaintext of one sealed record: its kind, the record counter, then exactly the kind's own
// fields ("input" samples, "action", "desktop", "controls", "studio", "ping" probe, "pong" probe
// and display; none for the trust kinds).
struct SessionPayload {
    enum class Kind {
        input,
        action,
        desktop,
        controls,
        studio,
        ping,
        pong,
        known,
        unknown,
        approve,
        saved,
        stop
    };

    static constexpr std::size_t maxSamples = 128;

    Kind kind = Kind::known;
    std::uint64_t counter = 0;
    std::optional<std::vector<PenSample>> samples;
    std::optional<DesktopAction> action;
    std::optional<DesktopContext> desktop;
    std::optional<ControlsSignal> controls;
    std::optional<StudioSignal> studio;
    std::optional<Uuid> probe;
    std::optional<DisplayGeometry> display;

    // The kind's required fields are present, no other kind's field is, and each field is valid
    // (at most 128 samples).
    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("kind", self.kind);
        visit("counter", self.counter);
        visit("samples", self.samples);
        visit("action", self.action);
        visit("desktop", self.desktop);
        visit("controls", self.controls);
        visit("studio", self.studio);
        visit("probe", self.probe);
        visit("display", self.display);
    }

    Json toJSON() const;
    std::string encode() const;
    // Nothing when a required field of the kind is missing or any field is mistyped.
    static std::optional<SessionPayload> fromJSON(const Json& json);
    static std::optional<SessionPayload> decode(std::string_view text);

    friend bool operator==(const SessionPayload&, const SessionPayload&) = default;
};

template <>
struct RawValues<SessionPayload::Kind> {
    static constexpr std::array<std::string_view, 12> names{
        "input", "action", "desktop", "controls", "studio", "ping",
        "pong",  "known",  "unknown", "approve",  "saved",  "stop"};
};

}  // namespace quillory

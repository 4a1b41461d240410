#pragma once

#include <cstdint>
#include <optional>

#include "protocol/json_codec.h"
#include "protocol/raw_value.h"
#include "protocol/uuid.h"

namespace quillory {

// One stylus sample. x and y are normalised over the drawing area (origin top left), pressure is
// 0..1, altitude 0..π/2 and azimuth in radians, timestamp in seconds of the tablet's clock.
struct PenSample {
    enum class Phase { began, moved, ended, cancelled, hover };

    std::uint64_t sequence = 0;
    Phase phase = Phase::hover;
    double x = 0;
    double y = 0;
    double pressure = 0;
    double altitude = 0;
    double azimuth = 0;
    double timestamp = 0;
    std::optional<Uuid> studioID;

    bool isValid() const;

    // The JSON fields in order (see json_codec.h).
    template <class Self, class Visit>
    static void fields(Self& self, Visit&& visit) {
        visit("sequence", self.sequence);
        visit("phase", self.phase);
        visit("x", self.x);
        visit("y", self.y);
        visit("pressure", self.pressure);
        visit("altitude", self.altitude);
        visit("azimuth", self.azimuth);
        visit("timestamp", self.timestamp);
        visit("studioID", self.studioID);
    }

    Json toJSON() const;
    static std::optional<PenSample> fromJSON(const Json& json);

    friend bool operator==(const PenSample&, const PenSample&) = default;
};

template <>
struct RawValues<PenSample::Phase> {
    static constexpr std::array<std::string_view, 5> names{"began", "moved", "ended", "cancelled",
                                                           "hover"};
};

}  // namespace quillory

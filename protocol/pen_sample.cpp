#include "protocol/pen_sample.h"

#include <cmath>
#include <numbers>

namespace quillory {

bool PenSample::isValid() const {
    const auto within = [](double value, double low, double high) {
        return std::isfinite(value) && value >= low && value <= high;
    };
    return within(x, 0, 1) && within(y, 0, 1) && within(pressure, 0, 1) &&
           within(altitude, 0, std::numbers::pi / 2) && std::isfinite(azimuth) &&
           std::isfinite(timestamp) && timestamp >= 0;
}

OrderedJson PenSample::toJSON() const {
    return json_codec::ObjectWriter()
        .field("sequence", sequence)
        .field("phase", phase)
        .field("x", x)
        .field("y", y)
        .field("pressure", pressure)
        .field("altitude", altitude)
        .field("azimuth", azimuth)
        .field("timestamp", timestamp)
        .field("studioID", studioID)
        .take();
}

std::optional<PenSample> PenSample::fromJSON(const Json& json) {
    PenSample sample;
    json_codec::ObjectReader reader(json);
    reader.required("sequence", sample.sequence);
    reader.required("phase", sample.phase);
    reader.required("x", sample.x);
    reader.required("y", sample.y);
    reader.required("pressure", sample.pressure);
    reader.required("altitude", sample.altitude);
    reader.required("azimuth", sample.azimuth);
    reader.required("timestamp", sample.timestamp);
    reader.optional("studioID", sample.studioID);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return sample;
}

}  // namespace quillory

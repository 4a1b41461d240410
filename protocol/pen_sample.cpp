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

Json PenSample::toJSON() const {
    return json_codec::encodeFields(*this);
}

std::optional<PenSample> PenSample::fromJSON(const Json& json) {
    return json_codec::decodeFields<PenSample>(json);
}

}  // namespace quillory

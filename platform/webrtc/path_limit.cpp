#include "platform/webrtc/path_limit.h"

#include <algorithm>

namespace quillory {

std::optional<double> PathLimit::read(double at, double bitsPerSecond) {
    const bool alike = unconfirmed_ && at - unconfirmed_->first <= readingSeconds &&
                       std::min(bitsPerSecond, unconfirmed_->second) >=
                           std::max(bitsPerSecond, unconfirmed_->second) * readingsAlike;
    if (!alike) {
        unconfirmed_ = {at, bitsPerSecond};
        return std::nullopt;
    }
    const double confirmed = std::min(bitsPerSecond, unconfirmed_->second);
    unconfirmed_.reset();
    return confirmed;
}

void PathLimit::carried(double bitsPerSecond) {
    if (limit_ && bitsPerSecond > *limit_) {
        limit_.reset();
    }
    if (unconfirmed_ && bitsPerSecond > unconfirmed_->second) {
        unconfirmed_.reset();
    }
}

}  // namespace quillory

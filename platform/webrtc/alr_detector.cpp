#include "platform/webrtc/alr_detector.h"

#include <algorithm>

namespace quillory {

AlrDetector::AlrDetector(const ApplicationLimitSettings& settings) : settings_(settings) {}

void AlrDetector::setEstimate(double bitsPerSecond) {
    estimate_ = std::max(0.0, bitsPerSecond);
}

void AlrDetector::advance(std::int64_t now) {
    const double window = static_cast<double>(windowNanoseconds) / 1e9;
    const double full = estimate_ * settings_.usagePercent / 100.0 * window;
    if (lastAt_ && now > *lastAt_) {
        const double elapsed = std::min(static_cast<double>(now - *lastAt_) / 1e9, window);
        budgetBits_ += estimate_ * settings_.usagePercent / 100.0 * elapsed;
    }
    if (!lastAt_ || now > *lastAt_) {
        lastAt_ = now;
    }
    budgetBits_ = std::clamp(budgetBits_, -full, full);
    if (full <= 0) {
        return;
    }
    const double level = budgetBits_ / full * 100.0;
    if (!limitedSince_ && level > settings_.startBudgetPercent) {
        limitedSince_ = now;
    } else if (limitedSince_ && level < settings_.stopBudgetPercent) {
        limitedSince_.reset();
    }
}

void AlrDetector::sent(std::size_t bytes, std::int64_t at) {
    advance(at);
    budgetBits_ -= static_cast<double>(bytes) * 8.0;
    advance(at);
}

std::optional<std::int64_t> AlrDetector::limitedSince(std::int64_t now) {
    advance(now);
    return limitedSince_;
}

}  // namespace quillory

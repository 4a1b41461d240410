#include "platform/webrtc/delay_trend_detector.h"

#include <algorithm>
#include <cmath>

namespace quillory {
namespace {

constexpr std::int64_t unknown = -1;
// A queue that lets packets go together releases them within this long of each other.
constexpr std::int64_t burstMicroseconds = 5'000;
constexpr std::int64_t longestBurstMicroseconds = 100'000;
// A jump this large is a receiver that restarted its clock, not a queue.
constexpr double clockJumpMilliseconds = 3'000;
// The threshold follows the trend's size: up slowly, down faster; a trend far over it is an
// event to react to, not noise to learn.
constexpr double thresholdRise = 0.0087;
constexpr double thresholdFall = 0.039;
constexpr double thresholdIgnoredAbove = 15.0;
constexpr double lowestThreshold = 6.0;
constexpr double highestThreshold = 600.0;
constexpr double longestThresholdStep = 100.0;

// The least-squares slope of y over x; none when every x is the same.
std::optional<double> slopeOf(const std::deque<std::pair<double, double>>& points) {
    double meanX = 0;
    double meanY = 0;
    for (const auto& [x, y] : points) {
        meanX += x;
        meanY += y;
    }
    meanX /= static_cast<double>(points.size());
    meanY /= static_cast<double>(points.size());
    double numerator = 0;
    double denominator = 0;
    for (const auto& [x, y] : points) {
        numerator += (x - meanX) * (y - meanY);
        denominator += (x - meanX) * (x - meanX);
    }
    if (denominator == 0) {
        return std::nullopt;
    }
    return numerator / denominator;
}

}  // namespace

DelayTrendDetector::DelayTrendDetector() : sentAt_(1u << 16, unknown) {}

void DelayTrendDetector::packetSent(std::uint16_t sequence, std::int64_t at) {
    sentAt_[sequence] = at;
}

void DelayTrendDetector::feedback(const TransportFeedback& feedback) {
    for (const TransportFeedback::Packet& packet : feedback.received) {
        const std::int64_t sequence =
            highest_ ? unwrapSequence(packet.sequence, *highest_) : packet.sequence;
        // Feedback overlaps; each packet counts once.
        if (highest_ && sequence <= *highest_) {
            continue;
        }
        highest_ = sequence;
        const std::int64_t sent = std::exchange(sentAt_[packet.sequence], unknown);
        if (sent != unknown && packet.arrivalMicroseconds) {
            arrived(sent, *packet.arrivalMicroseconds);
        }
    }
}

void DelayTrendDetector::arrived(std::int64_t sent, std::int64_t arrival) {
    if (!current_) {
        current_ = Group{sent, sent, arrival, arrival};
        return;
    }
    if (sent < current_->firstSent) {
        return;  // left before the group began: reordered on the way out
    }
    const std::int64_t arrivalSpacing = arrival - current_->lastArrival;
    const bool sentTogether = sent - current_->firstSent <= groupNanoseconds;
    // Packets that a queue held and then let go together arrive closer than they left.
    const bool releasedTogether = arrivalSpacing <= burstMicroseconds &&
                                  arrivalSpacing * 1000 < sent - current_->lastSent &&
                                  arrival - current_->firstArrival < longestBurstMicroseconds;
    if (sentTogether || releasedTogether) {
        current_->lastSent = std::max(current_->lastSent, sent);
        current_->lastArrival = std::max(current_->lastArrival, arrival);
        return;
    }
    if (previous_) {
        const double sendMilliseconds =
            static_cast<double>(current_->lastSent - previous_->lastSent) / 1e6;
        const double arrivalMilliseconds =
            static_cast<double>(current_->lastArrival - previous_->lastArrival) / 1e3;
        delayChanged(arrivalMilliseconds - sendMilliseconds, sendMilliseconds,
                     static_cast<double>(current_->lastArrival) / 1e3);
    }
    previous_ = current_;
    current_ = Group{sent, sent, arrival, arrival};
}

void DelayTrendDetector::delayChanged(double delayMilliseconds, double sendMilliseconds,
                                      double arrivalMilliseconds) {
    if (std::abs(delayMilliseconds) > clockJumpMilliseconds) {
        fit_ = Fit{};
        return;
    }
    fit_.deltas = std::min(fit_.deltas + 1, trustedGroups);
    fit_.accumulated += delayMilliseconds;
    fit_.smoothed = smoothing * fit_.smoothed + (1 - smoothing) * fit_.accumulated;
    if (!fit_.firstArrival) {
        fit_.firstArrival = arrivalMilliseconds;
    }
    fit_.window.emplace_back(arrivalMilliseconds - *fit_.firstArrival, fit_.smoothed);
    if (fit_.window.size() > windowGroups) {
        fit_.window.pop_front();
    }
    double slope = fit_.previousSlope;
    if (fit_.window.size() == windowGroups) {
        slope = slopeOf(fit_.window).value_or(fit_.previousSlope);
    }
    detect(static_cast<double>(fit_.deltas) * slope * thresholdGain, slope, sendMilliseconds,
           arrivalMilliseconds);
}

void DelayTrendDetector::detect(double trend, double slope, double sendMilliseconds,
                                double arrivalMilliseconds) {
    if (fit_.deltas < 2) {
        return;
    }
    if (trend > fit_.threshold) {
        fit_.overusingFor =
            fit_.overusingFor < 0 ? sendMilliseconds / 2 : fit_.overusingFor + sendMilliseconds;
        ++fit_.overuseCount;
        // Overuse only once the trend has lasted and is still steepening; until then the
        // verdict stands.
        if (fit_.overusingFor > overuseMilliseconds && fit_.overuseCount > 1 &&
            slope >= fit_.previousSlope) {
            fit_.overusingFor = 0;
            fit_.overuseCount = 0;
            fit_.trend = DelayTrend::overusing;
        }
    } else {
        fit_.overusingFor = -1;
        fit_.overuseCount = 0;
        fit_.trend = trend < -fit_.threshold ? DelayTrend::underusing : DelayTrend::normal;
    }
    fit_.previousSlope = slope;
    adaptThreshold(trend, arrivalMilliseconds);
}

void DelayTrendDetector::adaptThreshold(double trend, double arrivalMilliseconds) {
    const double size = std::abs(trend);
    const double last = fit_.thresholdUpdatedAt.value_or(arrivalMilliseconds);
    fit_.thresholdUpdatedAt = arrivalMilliseconds;
    if (size > fit_.threshold + thresholdIgnoredAbove) {
        return;
    }
    const double rate = size < fit_.threshold ? thresholdFall : thresholdRise;
    const double elapsed = std::min(arrivalMilliseconds - last, longestThresholdStep);
    fit_.threshold = std::clamp(fit_.threshold + rate * (size - fit_.threshold) * elapsed,
                                lowestThreshold, highestThreshold);
}

}  // namespace quillory

#include "platform/webrtc/gstreamer/packet_pacer.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

namespace quillory {

PacketPacer::PacketPacer(std::int64_t maximumDelayNanoseconds, double targetBitrateBps)
    : maximumDelay_(maximumDelayNanoseconds), target_(targetBitrateBps) {}

void PacketPacer::frameQueued(std::uint32_t rtpTimestamp, std::size_t bytes, std::int64_t at) {
    drain(at);  // the idle time before the frame, which banks nothing
    frames_.push_back(Frame{.rtpTimestamp = rtpTimestamp, .at = at, .bytes = bytes});
}

double PacketPacer::rateBps(std::int64_t now) const {
    const double paced = pacingFactor * target_;
    if (frames_.empty()) {
        return paced;
    }
    const std::int64_t left = maximumDelay_ - (now - frames_.front().at);
    if (left <= 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double bits = static_cast<double>(queuedBytes()) * 8.0;
    return std::max(paced, bits / (static_cast<double>(left) / 1e9));
}

std::size_t PacketPacer::queuedBytes() const {
    std::size_t bytes = 0;
    for (const Frame& frame : frames_) {
        bytes += frame.bytes;
    }
    return bytes;
}

void PacketPacer::drain(std::int64_t now) {
    if (now > drainedAt_) {
        const double rate = rateBps(now);
        // Idle time banks nothing, or the next keyframe would leave in one burst.
        const double floor =
            frames_.empty() ? 0.0 : -rate * static_cast<double>(catchUpNanoseconds) / 1e9;
        debtBits_ =
            std::isinf(rate)
                ? 0.0
                : std::max(floor, debtBits_ - rate * static_cast<double>(now - drainedAt_) / 1e9);
        drainedAt_ = now;
    }
}

std::int64_t PacketPacer::wait(std::int64_t now) {
    drain(now);
    const double rate = rateBps(now);
    // Without a target there is nothing to pace by.
    if (std::isinf(rate) || rate <= 0) {
        return 0;
    }
    const double over = debtBits_ - rate * static_cast<double>(burstNanoseconds) / 1e9;
    return over <= 0 ? 0 : static_cast<std::int64_t>(std::ceil(over / rate * 1e9));
}

void PacketPacer::charge(std::size_t bytes, std::int64_t now) {
    drain(now);
    debtBits_ += static_cast<double>(bytes) * 8.0;
}

void PacketPacer::mediaSent(std::size_t bytes, std::uint32_t rtpTimestamp, bool marker,
                            std::int64_t now) {
    charge(bytes, now);
    const auto frame = std::find_if(
        frames_.begin(), frames_.end(),
        [rtpTimestamp](const Frame& queued) { return queued.rtpTimestamp == rtpTimestamp; });
    if (frame == frames_.end()) {
        return;
    }
    frames_.erase(frames_.begin(), frame);
    if (marker) {
        frames_.pop_front();
    } else {
        frames_.front().bytes -= std::min(frames_.front().bytes, bytes);
    }
}

void PacketPacer::retransmissionSent(std::size_t bytes, std::int64_t now) {
    charge(bytes, now);
}

std::optional<std::int64_t> pacingDelayNanoseconds(
    const std::map<std::string, std::string>& fieldTrials) {
    const auto trial = fieldTrials.find("WebRTC-Video-Pacing");
    if (trial == fieldTrials.end()) {
        return std::nullopt;
    }
    constexpr std::string_view key = "max_delay:";
    const std::string& value = trial->second;
    const std::size_t at = value.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::int64_t milliseconds = 0;
    const char* first = value.data() + at + key.size();
    const char* last = value.data() + value.size();
    const auto [end, error] = std::from_chars(first, last, milliseconds);
    if (error != std::errc() || end == first || std::string_view(end, last).substr(0, 2) != "ms" ||
        milliseconds <= 0) {
        return std::nullopt;
    }
    return milliseconds * 1'000'000;
}

PacingGate::PacingGate(std::int64_t maximumDelayNanoseconds, double targetBitrateBps, Clock clock)
    : clock_(std::move(clock)), pacer_(maximumDelayNanoseconds, targetBitrateBps) {}

void PacingGate::setTargetBitrate(double bitsPerSecond) {
    {
        std::lock_guard lock(mutex_);
        pacer_.setTargetBitrate(bitsPerSecond);
    }
    changed_.notify_all();
}

void PacingGate::frameQueued(std::uint32_t rtpTimestamp, std::size_t bytes) {
    {
        std::lock_guard lock(mutex_);
        pacer_.frameQueued(rtpTimestamp, bytes, clock_());
    }
    changed_.notify_all();
}

bool PacingGate::waitForTurn(std::unique_lock<std::mutex>& lock, bool retransmission) {
    while (!closed_) {
        if (!retransmission && retransmissionsWaiting_ > 0) {
            changed_.wait(lock);
            continue;
        }
        const std::int64_t wait = pacer_.wait(clock_());
        if (wait <= 0) {
            return true;
        }
        // Woken early by a new frame or target, which may shorten the wait.
        changed_.wait_for(lock, std::chrono::nanoseconds(wait));
    }
    return false;
}

void PacingGate::passMedia(std::size_t bytes, std::uint32_t rtpTimestamp, bool marker) {
    std::unique_lock lock(mutex_);
    if (waitForTurn(lock, false)) {
        pacer_.mediaSent(bytes, rtpTimestamp, marker, clock_());
    }
}

void PacingGate::passRetransmission(std::size_t bytes) {
    {
        std::unique_lock lock(mutex_);
        ++retransmissionsWaiting_;
        if (waitForTurn(lock, true)) {
            pacer_.retransmissionSent(bytes, clock_());
        }
        --retransmissionsWaiting_;
    }
    changed_.notify_all();
}

bool PacingGate::burstWaiting() {
    std::lock_guard lock(mutex_);
    const double atOnce =
        pacer_.rateBps(clock_()) / 8.0 * static_cast<double>(PacketPacer::burstNanoseconds) / 1e9;
    return static_cast<double>(pacer_.queuedBytes()) > atOnce;
}

void PacingGate::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace quillory

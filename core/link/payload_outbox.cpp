#include "core/link/payload_outbox.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/link/channel_termination.h"
#include "platform/dispatch/sequence_checker.h"

namespace quillory {

bool PayloadOutbox::send(SessionPayload payload) {
    QUILLORY_CHECK_ON(queue_);
    using Kind = SessionPayload::Kind;
    using Role = SessionRole;
    const auto kind = payload.kind;
    const bool control = kind == Kind::known || kind == Kind::unknown || kind == Kind::approve ||
                         kind == Kind::saved || kind == Kind::stop || kind == Kind::ping ||
                         kind == Kind::pong;
    if (!control) {
        const bool padOnly = kind == Kind::input || kind == Kind::action;
        const bool macOnly = kind == Kind::desktop;
        const auto role = handshake_.role();
        if ((padOnly && role != Role::pad) || (macOnly && role != Role::mac)) {
            channelLog().error("Dropped a \"%s\" payload: wrong direction",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
        if (handshake_.phase() != ChannelHandshake::Phase::ready) {
            channelLog().debug("Dropped a \"%s\" payload before the link is ready",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
        if (!payload.isValid()) {
            channelLog().error("Dropped an invalid \"%s\" payload",
                               std::string(rawValue(kind)).c_str());
            return false;
        }
    }
    return transport_.sendPayload(std::move(payload));
}

void PayloadOutbox::sendSamples(std::vector<PenSample> samples) {
    QUILLORY_CHECK_ON(queue_);
    if (handshake_.role() != SessionRole::pad) {
        channelLog().error("Dropped pen samples: only a pad sends them");
        return;
    }
    if (handshake_.phase() != ChannelHandshake::Phase::ready) {
        discarded_ += samples.size();
        return;
    }
    if (samples.empty()) {
        // The tablet cancelled its input: what is buffered goes first, then the empty batch.
        flush();
        auto payload = payloadOf(SessionPayload::Kind::input);
        payload.samples = std::vector<PenSample>{};
        send(std::move(payload));
        return;
    }
    for (auto& sample : samples) {
        if (samples_.size() == maxBufferedSamples) {
            samples_.pop_front();
            ++discarded_;
        }
        samples_.push_back(std::move(sample));
    }
    flush();
}

void PayloadOutbox::flush() {
    QUILLORY_CHECK_ON(queue_);
    while (handshake_.phase() == ChannelHandshake::Phase::ready && !samples_.empty() &&
           transport_.pendingLines() <= maxPendingLinesForSamples) {
        const auto count = std::min(samples_.size(), maxSamplesPerLine);
        std::vector<PenSample> batch(samples_.begin(),
                                     samples_.begin() + static_cast<std::ptrdiff_t>(count));
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(count));
        auto payload = payloadOf(SessionPayload::Kind::input);
        payload.samples = std::move(batch);
        if (!send(std::move(payload))) {
            discarded_ += count;
        }
    }
}

void PayloadOutbox::ping(const Uuid& probe) {
    auto payload = payloadOf(SessionPayload::Kind::ping);
    payload.probe = probe;
    transport_.sendPayload(std::move(payload));
}

void PayloadOutbox::answerPing(const SessionPayload& ping) {
    auto pong = payloadOf(SessionPayload::Kind::pong);
    pong.probe = ping.probe;
    pong.display = localDisplay_;
    transport_.sendPayload(std::move(pong));
}

void PayloadOutbox::drop() {
    discarded_ += samples_.size();
    samples_.clear();
}

}  // namespace quillory

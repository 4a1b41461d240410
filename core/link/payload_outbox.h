#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "core/link/channel_handshake.h"
#include "core/link/sealed_transport.h"
#include "protocol/display_geometry.h"
#include "protocol/pen_sample.h"
#include "protocol/session_payload.h"

namespace quillory {

// A payload of that kind with no fields yet.
inline SessionPayload payloadOf(SessionPayload::Kind kind) {
    SessionPayload payload;
    payload.kind = kind;
    return payload;
}

// What this end sends in sealed records: every payload is checked for its direction and the
// link's phase, and the tablet's pen samples wait in a bounded buffer while the socket is busy,
// then go out in batches. Transport queue only.
class PayloadOutbox {
  public:
    static constexpr std::size_t maxBufferedSamples = 512;
    static constexpr std::size_t maxSamplesPerLine = 128;
    static constexpr std::size_t maxPendingLinesForSamples = 2;

    PayloadOutbox(SealedTransport& transport, const ChannelHandshake& handshake,
                  const SerialQueue& queue)
        : transport_(transport), handshake_(handshake), queue_(queue) {}

    // False when the payload may not go out from this end now, or the transport refused it.
    bool send(SessionPayload payload);
    // Pad role only. An empty batch cancels the input, behind what is buffered.
    void sendSamples(std::vector<PenSample> samples);
    // Sends buffered samples while the socket keeps up.
    void flush();
    void ping(const Uuid& probe);
    // The answer carries this end's display.
    void answerPing(const SessionPayload& ping);
    void setLocalDisplay(std::optional<DisplayGeometry> display) { localDisplay_ = display; }
    // The channel closed: what is buffered counts as discarded.
    void drop();
    std::uint64_t discarded() const { return discarded_; }

  private:
    SealedTransport& transport_;
    const ChannelHandshake& handshake_;
    const SerialQueue& queue_;
    std::optional<DisplayGeometry> localDisplay_;
    std::deque<PenSample> samples_;
    std::uint64_t discarded_ = 0;
};

}  // namespace quillory
